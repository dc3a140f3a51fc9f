#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "records/record_store.h"
#include "records/recorder_state.h"
#include "records/sqlite_record_store.h"

namespace vantrel {

// Sends the units spooled in the local file to the recorder's server, on a
// thread of its own, and takes each out of the spool once the server has
// it. A server that cannot be reached is tried again every retryInterval;
// a unit the server refuses, or one a newer version spooled, stays spooled
// and the others go on. Ends when the writer is done and nothing new was
// spooled, or when Close's limit has passed.
class SpoolSender {
  public:
    SpoolSender(std::shared_ptr<RecorderState> state, std::unique_ptr<SqliteRecordStore> file);

    void Run();

  private:
    // Waits for something to send; false when there will be nothing more.
    bool WaitForWork(bool lastPassFailed);
    // One pass over the spool, with its counts told to the state.
    bool Pass();
    // Sends the whole spool; false when something stays in it.
    bool SendSpool();
    enum class Sent { kArrived, kRefused, kUnreachable };
    Sent Send(const SqliteRecordStore::Spooled& spooled);
    bool Connected();
    void NoteUnreachable(const std::string& error);
    void NoteSent();
    bool OutOfTime() const;

    std::shared_ptr<RecorderState> m_state;
    std::unique_ptr<SqliteRecordStore> m_file;
    const RecordServer& m_server;
    std::unique_ptr<RecordStore> m_store;  // none until connected
    bool m_unreachable = false;            // since the last warning
    bool m_fileFailing = false;            // the spool could not be read or updated
    std::set<std::string> m_refused;       // units the server refused, each told once
    std::set<std::int64_t> m_aside;        // spool rows this version cannot read, each told once
};

}  // namespace vantrel
