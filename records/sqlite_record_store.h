#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "records/record_columns.h"
#include "records/record_store.h"

struct sqlite3;

namespace vantrel {

// Records in one SQLite file, in WAL mode with a busy timeout so that
// several processes on one machine record into it at once. The file also
// holds the spool: records a server has yet to get.
//
// A file that is not a database, is damaged, belongs to another program or
// cannot be read gives an error naming it, and is never written to.
class SqliteRecordStore final : public RecordStore {
  public:
    enum class Mode {
        kCreate,    // create the file, its folder and the tables when missing
        kExisting,  // open what is there; a file without tables holds no records
        // Only read, also a file in a read-only folder or mount; nothing is
        // written, not even the files of WAL mode.
        kReadOnly,
    };
    // The schema version this one writes, kept in PRAGMA user_version; its
    // revision is kept in the table schema_revision.
    static constexpr int kSchemaVersion = kRecordSchemaVersion;
    // How long a write waits for another process's write to finish.
    static constexpr std::chrono::milliseconds kBusyTimeout{10000};

    // kCreate writes into the file before it returns, so that a file that
    // cannot be written is known at once.
    explicit SqliteRecordStore(std::string path, Mode mode = Mode::kCreate);
    ~SqliteRecordStore() override;
    SqliteRecordStore(const SqliteRecordStore&) = delete;
    SqliteRecordStore& operator=(const SqliteRecordStore&) = delete;

    const std::string& Path() const { return m_path; }

    void Write(const UnitRecord& record) override;
    void ForEachLatest(const RecordFilter& filter,
                       const std::function<void(const UnitRecord&)>& each) override;

    // How long a write waits for another process's write to end before it
    // fails (kBusyTimeout when opened).
    void SetBusyTimeout(std::chrono::milliseconds limit);

    // Writes `record` and, in the same transaction, puts it into the spool
    // of the server named `server` (RecordServer::name; none when empty).
    // True when the file did not hold the unit yet.
    bool WriteAndSpool(const UnitRecord& record, const std::string& server);
    struct Spooled {
        std::int64_t position;  // in the spool, growing
        UnitRecord record;
        // Why this version cannot read the record (a newer one wrote an
        // outcome it does not know); empty when `record` holds it.
        std::string unreadable;
    };
    // The server's spooled records after `after`, oldest first.
    std::vector<Spooled> SpooledFor(const std::string& server, std::int64_t after,
                                    std::size_t limit);
    // Takes a record out of the spool once its server has it.
    void Unspool(std::int64_t position);
    std::size_t SpoolCount(const std::string& server);

  private:
    class Statement;

    void Open(Mode mode);
    void OpenReadOnly();
    void Connect(const std::string& name, int flags);
    // Reads what kind of file it is, and refuses any but a record file,
    // or one of a newer schema unless only reading.
    void Look(Mode mode);
    void RefuseNewer(std::int64_t version) const;
    // The revision of the tables of a file at `version`: the one kept
    // beside it, or for a file of schema 1 that kept no version, the one
    // its columns show.
    int StoredRevision(std::int64_t version);
    // Runs a statement to its end.
    void Run(const std::string& sql, const char* doing);
    // Runs statements that give no rows, one after the other.
    void Exec(const std::string& statements, const char* doing);
    void UseWal();
    // Creates the tables, or adds the columns a file of an older schema
    // lacks, in one transaction.
    void SetUpTables();
    bool WriteUnit(const UnitRecord& record);
    [[noreturn]] void Fail(const std::string& doing, int code) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
    bool m_hasTables = false;
    int m_revision = kRecordSchemaRevision;  // that of the file's tables
};

}  // namespace vantrel
