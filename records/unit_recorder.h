#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "records/record_target.h"
#include "records/unit_record.h"

namespace vantrel {

class SqliteRecordStore;
struct RecorderState;

// How a UnitRecorder goes about its work.
struct RecorderOptions {
    // How long to wait before trying an unreachable server again, or a
    // local file that could not be written.
    std::chrono::milliseconds retryInterval = std::chrono::seconds(5);
    // Where units go that the local file does not take at a retry either,
    // nor at Close; empty for DefaultUnrecordedFolder().
    std::string unrecordedFolder;
    // How long the server may take without sending anything before the
    // operator is told.
    std::chrono::milliseconds stallWarning = std::chrono::seconds(30);
    // Told once when recording runs into trouble (the server cannot be
    // reached, the file cannot be written), and through onNotice once it
    // is over. Called on a recorder thread, never while the recorder
    // holds its lock, and never once Close has returned; a listener must not
    // call Close. Unset: written to standard error.
    std::function<void(const std::string&)> onWarning;
    std::function<void(const std::string&)> onNotice;
};

// Where the units recorded so far are.
struct RecorderProgress {
    std::size_t waiting = 0;     // recorded, only in memory so far
    std::size_t unrecorded = 0;  // in unrecordedFile, not in the local file
    std::string unrecordedFile;
    std::size_t spooled = 0;     // in the local file, not yet on the server
    std::size_t unreadable = 0;  // spooled by a newer version, which this one cannot send
    std::uint64_t stored = 0;    // written into the local file
    std::uint64_t sent = 0;      // arrived on the server
    bool serverUnreachable = false;
    // From Close: the units in neither file, since the unrecorded folder
    // could not be written either; the program shows them.
    std::vector<UnitRecord> unkept;

    std::size_t NotInFile() const { return waiting + unrecorded; }
};

// What programs record units through. Record() only queues: a background
// thread writes each record into the local SQLite file, and for a server
// target into the file's spool as well, from which a second thread sends it
// and takes it out once the server has it. A server that cannot be reached
// is tried again every retryInterval, and a spool left by an earlier run is
// sent too. A local file that cannot be written is tried again too; units
// it does not take at the retry go into a file in the unrecorded folder,
// and from there into the local file once it takes them again. An update
// never waits for a database and never fails because of one. Every member
// may be called from any thread.
class UnitRecorder {
  public:
    // Opens the local file (created when missing) on this thread and
    // writes into it, so that a damaged, unreadable or unwritable one is
    // known at once: the error names it.
    static std::variant<std::unique_ptr<UnitRecorder>, std::string> Open(
        const RecordTarget& target, RecorderOptions options = {});
    // Closes with a limit of two seconds unless closed already.
    ~UnitRecorder();
    UnitRecorder(const UnitRecorder&) = delete;
    UnitRecorder& operator=(const UnitRecorder&) = delete;

    // Queues `record` (made safe, and given an id when it has none) and
    // returns at once; false after Close, when nothing takes it any more.
    bool Record(UnitRecord record);
    // Waits at most `limit` until every record so far is in its store (on
    // the server, for a server target); true when they are.
    bool Flush(std::chrono::milliseconds limit);
    // Writes what is queued into the local file (a few milliseconds a
    // unit), or into the unrecorded file when the local one fails once
    // more; tries to send the spool for at most `limit`, and stops; returns
    // what remains. What is spooled stays in the file for the next run.
    RecorderProgress Close(std::chrono::milliseconds limit);
    RecorderProgress Status() const;

  private:
    explicit UnitRecorder(std::shared_ptr<RecorderState> shared);

    // The writer thread (a FileWriter): the queue into the local file. The
    // sender thread (a SpoolSender): the spool onto the server. Each owns its
    // connection to the file, and shares the rest, so that a thread Close
    // leaves behind can finish.
    std::shared_ptr<RecorderState> m_shared;
    std::thread m_writer;
    std::thread m_sender;
};

}  // namespace vantrel
