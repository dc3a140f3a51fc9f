#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "records/recorder_state.h"
#include "records/sqlite_record_store.h"
#include "records/unrecorded_file.h"

namespace vantrel {

// Writes the recorder's queue into the local file, on a thread of its own,
// oldest first. A file that fails keeps the units in memory and is tried
// again every retryInterval; when it fails again (or at Close) they go into
// the unrecorded file, and back into the record file, first of all, once it
// takes them again. Ends at Close, when nothing is left that it can write.
class FileWriter {
  public:
    FileWriter(std::shared_ptr<RecorderState> state, std::unique_ptr<SqliteRecordStore> file);

    void Run();

  private:
    using Clock = std::chrono::steady_clock;

    // Waits until there is a unit to write, the server's stall time moved
    // or passed, or (while the file fails) the retry is due.
    void WaitForWork();
    void WarnIfServerStalled();
    // Writes the oldest unit; false (and told once) when the file refused it.
    bool WriteOldest();
    // Moves the queue into the unrecorded file, and on into `kept`.
    void KeepAside();
    // Listeners are told without the lock.
    void Tell(void (RecorderState::*say)(const std::string&), const std::string& text);

    const std::shared_ptr<RecorderState> m_pointer;
    RecorderState& m_shared;
    const std::unique_ptr<SqliteRecordStore> m_file;
    const std::string m_server;  // empty for a local target
    UnrecordedFile m_unrecorded;
    int m_failures = 0;            // writes into the file that failed in a row
    bool m_keepingFailed = false;  // the unrecorded file did not take the last units
    Clock::time_point m_retry{};   // while the file fails
    // Declared last: released first, before the state can go.
    std::unique_lock<std::mutex> m_lock;
};

}  // namespace vantrel
