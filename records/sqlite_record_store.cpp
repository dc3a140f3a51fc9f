#include "records/sqlite_record_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "records/record_columns.h"
#include "records/record_time.h"
#include "records/sqlite_statement.h"

namespace vantrel {
namespace {

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
        const CauseMatch match = MatchOfCause(*filter.cause);
        const std::string cause = parameter(match.cause);
        condition(CauseCondition(cause, match.outcome.empty() ? "NULL" : parameter(match.outcome),
                                 m_revision));
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
