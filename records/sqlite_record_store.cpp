#include "records/sqlite_record_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

#include "records/record_columns.h"
#include "records/record_time.h"

namespace vantrel {
namespace {

// PRAGMA application_id of a record file ("VNTR"), telling it from another
// program's database.
constexpr int kApplicationId = 0x564E5452;

// A column as CREATE TABLE and ALTER TABLE ... ADD COLUMN give it.
std::string ColumnDefinition(const RecordColumn& column) {
    static constexpr std::array<const char*, 6> kTypes = {"TEXT", "TEXT", "INTEGER",
                                                          "REAL", "TEXT", "TEXT"};
    return std::string(column.name) + " " + kTypes[static_cast<std::size_t>(column.Kind())] +
           (column.Key() ? " PRIMARY KEY" : "") + " NOT NULL" +
           (column.revision > 1 ? " DEFAULT ''" : "");
}

// The indexes and the revision's table, as the newest revision has them;
// each made only where missing.
std::string Additions() {
    std::string sql;
    for (const std::string_view column : kIndexedColumns) {
        sql += "CREATE INDEX IF NOT EXISTS units_by_" + std::string(column) + " ON units (" +
               std::string(column) + ");\n";
    }
    return sql + "CREATE TABLE IF NOT EXISTS schema_revision (revision INTEGER NOT NULL);\n";
}

std::string Schema() {
    std::string columns;
    for (const RecordColumn& column : kRecordColumns) {
        columns += (columns.empty() ? "\n    " : ",\n    ") + ColumnDefinition(column);
    }
    return "CREATE TABLE units (" + columns +
           "\n);\n"
           "CREATE INDEX units_by_start ON units (start_utc);\n"
           "CREATE TABLE spool (\n"
           "    position INTEGER PRIMARY KEY AUTOINCREMENT,\n"
           "    server TEXT NOT NULL,\n"
           "    unit_id TEXT NOT NULL REFERENCES units (id),\n"
           "    UNIQUE (server, unit_id)\n"
           ");\n" +
           Additions();
}

// `path` as the path of a file: URI, its %, ? and # escaped.
std::string UriPath(const std::string& path) {
    std::string uri;
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0x0F];
        } else {
            uri += c;
        }
    }
    return uri;
}

}  // namespace

// A prepared statement, finalized when it goes.
class SqliteRecordStore::Statement {
  public:
    Statement(const SqliteRecordStore& store, const std::string& sql) : m_store(store) {
        const int code = sqlite3_prepare_v2(store.m_db, sql.c_str(), -1, &m_statement, nullptr);
        if (code != SQLITE_OK) {
            store.Fail("cannot read", code);
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text) {
        Check(sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_STATIC));
    }
    void Bind(int index, sqlite3_int64 value) {
        Check(sqlite3_bind_int64(m_statement, index, value));
    }
    void Bind(int index, double value) { Check(sqlite3_bind_double(m_statement, index, value)); }
    void BindNull(int index) { Check(sqlite3_bind_null(m_statement, index)); }

    // True while a row has come.
    bool Step(const char* doing) {
        const int code = sqlite3_step(m_statement);
        if (code == SQLITE_ROW) {
            return true;
        }
        if (code != SQLITE_DONE) {
            m_store.Fail(doing, code);
        }
        return false;
    }

    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(size))
                    : std::string();
    }
    sqlite3_int64 Int(int column) const { return sqlite3_column_int64(m_statement, column); }
    double Real(int column) const { return sqlite3_column_double(m_statement, column); }

  private:
    void Check(int code) const {
        if (code != SQLITE_OK) {
            m_store.Fail("cannot use", code);
        }
    }

    const SqliteRecordStore& m_store;
    sqlite3_stmt* m_statement = nullptr;
};

SqliteRecordStore::SqliteRecordStore(std::string path, Mode mode) : m_path(std::move(path)) {
    try {
        Open(mode);
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

SqliteRecordStore::~SqliteRecordStore() {
    sqlite3_close(m_db);
}

void SqliteRecordStore::Fail(const std::string& doing, int code) const {
    const int primary = code & 0xFF;
    std::string detail = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
    if (systemError != 0 && (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR)) {
        detail += std::string(": ") + std::strerror(systemError);
    }
    if (primary == SQLITE_NOTADB) {
        throw RecordStoreError("the record file " + m_path + " is not a database (" + detail +
                               "); it is left as it is");
    }
    if (primary == SQLITE_CORRUPT) {
        throw RecordStoreError("the record file " + m_path + " is damaged (" + detail +
                               "); it is left as it is");
    }
    if (primary == SQLITE_READONLY) {
        // WAL mode writes files beside it even to read: its folder counts.
        throw RecordStoreError("cannot write to the record file " + m_path + ": " + detail +
                               " (the file or its folder is read-only)");
    }
    throw RecordStoreError(doing + " the record file " + m_path + ": " + detail);
}

void SqliteRecordStore::Open(Mode mode) {
    if (m_path.empty()) {
        throw RecordStoreError("no record file named");
    }
    std::error_code error;
    if (std::filesystem::is_directory(m_path, error)) {
        throw RecordStoreError("the record file " + m_path + " is a directory");
    }
    if (mode == Mode::kReadOnly) {
        OpenReadOnly();
        return;
    }
    int flags = SQLITE_OPEN_READWRITE;
    if (mode == Mode::kCreate) {
        flags |= SQLITE_OPEN_CREATE;
        const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, error);
            if (error) {
                throw RecordStoreError("cannot create the folder " + folder.string() +
                                       " for the record file: " + error.message());
            }
        }
    }
    Connect(m_path, flags);
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        throw RecordStoreError("cannot write to the record file " + m_path + ": it is read-only");
    }
    Look(mode);
    if (mode == Mode::kCreate) {
        UseWal();
    }
    if (mode == Mode::kCreate || (m_hasTables && m_revision < kRecordSchemaRevision)) {
        SetUpTables();
    }
    // A unit's record is kept once its write returns, power cut or not.
    Run("PRAGMA synchronous=FULL", "cannot set up");
}

void SqliteRecordStore::OpenReadOnly() {
    try {
        Connect(m_path, SQLITE_OPEN_READONLY);
        Look(Mode::kReadOnly);
        return;
    } catch (const RecordStoreError& failure) {
        const int code = m_db ? sqlite3_errcode(m_db) & 0xFF : SQLITE_CANTOPEN;
        if (code != SQLITE_CANTOPEN && code != SQLITE_READONLY) {
            throw;
        }
        // In a read-only folder or mount SQLite cannot make the shared
        // memory file that reading a WAL-mode file takes. Once the journal
        // is empty the file alone holds every record, and it can be read as
        // a file nothing changes.
        std::error_code error;
        const std::string journal = m_path + "-wal";
        if (std::filesystem::file_size(journal, error) > 0 && !error) {
            throw RecordStoreError(std::string(failure.what()) + "; its journal " + journal +
                                   " holds records that only a writable folder lets it read");
        }
    }
    sqlite3_close(m_db);
    m_db = nullptr;
    Connect("file:" + UriPath(m_path) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    Look(Mode::kReadOnly);
}

void SqliteRecordStore::Connect(const std::string& name, int flags) {
    const int opened = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
    if (opened != SQLITE_OK) {
        Fail("cannot open", opened);
    }
    sqlite3_extended_result_codes(m_db, 1);
    SetBusyTimeout(kBusyTimeout);
}

void SqliteRecordStore::Look(Mode mode) {
    // Look before writing anything: another program's database or a file
    // that is none stays as it is. One statement, so that all three come
    // from the same moment while another process may be creating the tables.
    sqlite3_int64 applicationId = 0;
    sqlite3_int64 version = 0;
    sqlite3_int64 tables = 0;
    {
        Statement look(*this,
                       "SELECT (SELECT application_id FROM pragma_application_id()),"
                       " (SELECT user_version FROM pragma_user_version()),"
                       " (SELECT count(*) FROM sqlite_master)");
        if (look.Step("cannot read")) {
            applicationId = look.Int(0);
            version = look.Int(1);
            tables = look.Int(2);
        }
    }
    const bool empty = applicationId == 0 && tables == 0;
    if (!empty && applicationId != kApplicationId) {
        throw RecordStoreError(m_path + " is a database of another program, not a record file; " +
                               "it is left as it is");
    }
    // A newer schema only adds columns: a reader lists the ones it knows.
    if (mode != Mode::kReadOnly) {
        RefuseNewer(version);
    }
    m_hasTables = !empty;
    m_revision = m_hasTables ? StoredRevision(version) : kRecordSchemaRevision;
}

int SqliteRecordStore::StoredRevision(std::int64_t version) {
    if (version > kSchemaVersion) {
        return kRecordSchemaRevision;  // a newer schema only adds: read what this one knows
    }
    int kept = static_cast<int>(version);
    {
        Statement table(*this,
                        "SELECT count(*) FROM sqlite_master"
                        " WHERE type = 'table' AND name = 'schema_revision'");
        if (table.Step("cannot read") && table.Int(0) > 0) {
            Statement revision(*this, "SELECT coalesce(max(revision), 0) FROM schema_revision");
            if (revision.Step("cannot read")) {
                kept = std::max(kept, static_cast<int>(revision.Int(0)));
            }
        }
    }
    // The columns are what a write needs: they tell where no version was
    // kept (files of schema 1 that came before user_version hold 0), and
    // where it says more than is there.
    std::vector<std::string> names;
    Statement columns(*this, "SELECT name FROM pragma_table_info('units')");
    while (columns.Step("cannot read")) {
        names.push_back(columns.Text(0));
    }
    const int present = RevisionOfColumns([&](std::string_view name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    });
    return std::max(1, kept > 0 ? std::min(kept, present) : present);
}

void SqliteRecordStore::RefuseNewer(std::int64_t version) const {
    if (version > kSchemaVersion) {
        throw RecordStoreError("the record file " + m_path + " was written by a newer Vantrel " +
                               "(schema " + std::to_string(version) + "; this one knows " +
                               std::to_string(kSchemaVersion) + ")");
    }
}

void SqliteRecordStore::SetBusyTimeout(std::chrono::milliseconds limit) {
    sqlite3_busy_timeout(m_db, static_cast<int>(limit.count()));
}

void SqliteRecordStore::Run(const std::string& sql, const char* doing) {
    Statement statement(*this, sql);
    while (statement.Step(doing)) {
    }
}

void SqliteRecordStore::Exec(const std::string& statements, const char* doing) {
    const int code = sqlite3_exec(m_db, statements.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        Fail(doing, code);
    }
}

void SqliteRecordStore::UseWal() {
    // Changing the journal mode does not wait for another process's lock
    // as other statements do: wait here, as long as they would.
    const auto deadline = std::chrono::steady_clock::now() + kBusyTimeout;
    for (;;) {
        sqlite3_stmt* statement = nullptr;
        int code = sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &statement, nullptr);
        if (code == SQLITE_OK) {
            while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
            }
        }
        sqlite3_finalize(statement);
        const int primary = code & 0xFF;
        if (code == SQLITE_DONE) {
            return;
        }
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() >= deadline) {
            Fail("cannot set up", code);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void SqliteRecordStore::SetUpTables() {
    Run("BEGIN IMMEDIATE", "cannot set up");
    try {
        // Another process may have created or upgraded them since the look.
        bool created = false;
        sqlite3_int64 version = 0;
        {
            Statement look(*this,
                           "SELECT (SELECT application_id FROM pragma_application_id()),"
                           " (SELECT user_version FROM pragma_user_version())");
            if (look.Step("cannot read")) {
                created = look.Int(0) == kApplicationId;
                version = look.Int(1);
            }
        }
        int revision = kRecordSchemaRevision;
        if (!created) {
            Exec(Schema(), "cannot set up");
            Run("PRAGMA application_id=" + std::to_string(kApplicationId), "cannot set up");
        } else {
            RefuseNewer(version);
            revision = StoredRevision(version);
            // Each unit already there keeps its fields, and the new ones
            // are empty.
            for (const RecordColumn& column : kRecordColumns) {
                if (column.revision > revision) {
                    Run("ALTER TABLE units ADD COLUMN " + ColumnDefinition(column),
                        "cannot upgrade");
                }
            }
            Exec(Additions(), "cannot upgrade");
        }
        Exec(KeepRevisionSql("schema_revision"), "cannot write to");
        // Written also when the tables were there: a file that takes no
        // write (a full disk, a lock that is never let go) is found now,
        // before any unit depends on it.
        Run("PRAGMA user_version=" + std::to_string(kSchemaVersion), "cannot write to");
        Run("COMMIT", "cannot write to");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    m_hasTables = true;
    m_revision = kRecordSchemaRevision;
}

bool SqliteRecordStore::WriteUnit(const UnitRecord& record) {
    std::string sql = "INSERT INTO units (" + RecordColumnList() + ") VALUES (";
    for (std::size_t i = 1; i <= kRecordColumns.size(); ++i) {
        sql += (i > 1 ? ", ?" : "?") + std::to_string(i);
    }
    sql += ") ON CONFLICT (id) DO NOTHING";
    Statement insert(*this, sql);
    // All made before any is bound: a binding points into its text.
    std::vector<std::string> texts;
    for (const RecordColumn& column : kRecordColumns) {
        texts.push_back(ColumnText(column, record));
    }
    for (std::size_t i = 0; i < kRecordColumns.size(); ++i) {
        const RecordColumn& column = kRecordColumns[i];
        const int index = static_cast<int>(i) + 1;
        switch (column.Kind()) {
            case ColumnKind::kCount:
                insert.Bind(index, static_cast<sqlite3_int64>(column.Of<std::uint32_t>(record)));
                break;
            case ColumnKind::kReal:
                insert.Bind(index, column.Of<double>(record));
                break;
            default:
                insert.Bind(index, texts[i]);
        }
    }
    insert.Step("cannot write to");
    return sqlite3_changes(m_db) > 0;
}

void SqliteRecordStore::Write(const UnitRecord& record) {
    WriteAndSpool(record, "");
}

bool SqliteRecordStore::WriteAndSpool(const UnitRecord& record, const std::string& server) {
    if (!m_hasTables) {
        throw RecordStoreError("the record file " + m_path + " has no tables to write into");
    }
    Run("BEGIN IMMEDIATE", "cannot write to");
    try {
        const bool added = WriteUnit(record);
        if (!server.empty()) {
            Statement spool(*this,
                            "INSERT INTO spool (server, unit_id) VALUES (?1, ?2) "
                            "ON CONFLICT (server, unit_id) DO NOTHING");
            spool.Bind(1, server);
            spool.Bind(2, record.id);
            spool.Step("cannot write to");
        }
        Run("COMMIT", "cannot write to");
        return added;
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteRecordStore::ForEachLatest(const RecordFilter& filter,
                                      const std::function<void(const UnitRecord&)>& each) {
    m_leftOut = 0;
    if (!m_hasTables) {
        return;
    }
    // Only the filters given become conditions: SQLite uses an index for
    // "column = ?" but not for "? IS NULL OR column = ?".
    std::vector<std::string> values;
    std::string where;
    const auto condition = [&](const std::string& text) {
        where += (where.empty() ? " WHERE " : " AND ") + text;
    };
    const auto parameter = [&](std::string value) {
        values.push_back(std::move(value));
        return "?" + std::to_string(values.size());
    };
    if (filter.since) {
        condition("start_utc >= " + parameter(UtcTimeText(*filter.since)));
    }
    if (filter.outcome) {
        condition("outcome = " + parameter(std::string(OutcomeName(*filter.outcome))));
    }
    if (!filter.port.empty()) {
        const std::string port = parameter(filter.port);
        condition("(port_label = " + port + " OR device = " + port + " OR stable_name = " + port +
                  ")");
    }
    if (filter.cause) {
        const std::string cause = parameter(std::string(CauseName(*filter.cause)));
        const auto outcome = OutcomeGivingCause(*filter.cause);
        condition(CauseCondition(
            cause, outcome ? parameter(std::string(OutcomeName(*outcome))) : "NULL", m_revision));
    }
    for (const ExactFilter& exact : kExactFilters) {
        if (const std::string& value = filter.*exact.value; !value.empty()) {
            condition(SelectedColumn(ColumnNamed(exact.column), m_revision) + " = " +
                      parameter(value));
        }
    }
    Statement select(*this, "SELECT " + RecordColumnList(m_revision) + " FROM units" + where +
                                " ORDER BY start_utc DESC, id DESC LIMIT ?" +
                                std::to_string(values.size() + 1));
    for (std::size_t i = 0; i < values.size(); ++i) {
        select.Bind(static_cast<int>(i) + 1, values[i]);
    }
    select.Bind(static_cast<int>(values.size()) + 1,
                filter.limit == 0 ? sqlite3_int64{-1} : static_cast<sqlite3_int64>(filter.limit));
    while (select.Step("cannot read")) {
        std::optional<UnitRecord> record;
        try {
            record = RecordFromRow(select, 0, m_path);
        } catch (const RecordStoreError&) {
            ++m_leftOut;
            continue;
        }
        each(*record);
    }
}

std::vector<SqliteRecordStore::Spooled> SqliteRecordStore::SpooledFor(const std::string& server,
                                                                      std::int64_t after,
                                                                      std::size_t limit) {
    std::vector<Spooled> spooled;
    if (!m_hasTables) {
        return spooled;
    }
    Statement select(*this, "SELECT spool.position, " + RecordColumnList(m_revision, "units.") +
                                " FROM spool JOIN units ON units.id = spool.unit_id"
                                " WHERE spool.server = ?1 AND spool.position > ?2"
                                " ORDER BY spool.position LIMIT ?3");
    select.Bind(1, server);
    select.Bind(2, static_cast<sqlite3_int64>(after));
    select.Bind(3, static_cast<sqlite3_int64>(limit));
    while (select.Step("cannot read")) {
        Spooled row{select.Int(0), {}, {}};
        try {
            row.record = RecordFromRow(select, 1, m_path);
        } catch (const RecordStoreError& error) {
            row.unreadable = error.what();
        }
        spooled.push_back(std::move(row));
    }
    return spooled;
}

void SqliteRecordStore::Unspool(std::int64_t position) {
    Statement remove(*this, "DELETE FROM spool WHERE position = ?1");
    remove.Bind(1, static_cast<sqlite3_int64>(position));
    remove.Step("cannot write to");
}

std::size_t SqliteRecordStore::SpoolCount(const std::string& server) {
    if (!m_hasTables) {
        return 0;
    }
    Statement count(*this, "SELECT count(*) FROM spool WHERE server = ?1");
    count.Bind(1, server);
    return count.Step("cannot read") ? static_cast<std::size_t>(count.Int(0)) : 0;
}

}  // namespace vantrel
