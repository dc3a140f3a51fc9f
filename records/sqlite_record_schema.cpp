// The tables of a record file: what kind of file it is, its revision, and
// creating or upgrading them.
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "records/record_columns.h"
#include "records/sqlite_record_store.h"
#include "records/sqlite_statement.h"

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

constexpr const char* kRevisionTable =
    "CREATE TABLE IF NOT EXISTS schema_revision (revision INTEGER NOT NULL);\n";

// The indexes besides the start's, each made only where missing.
std::vector<std::string> IndexStatements() {
    std::vector<std::string> statements;
    for (const std::string_view column : kIndexedColumns) {
        statements.push_back("CREATE INDEX IF NOT EXISTS units_by_" + std::string(column) +
                             " ON units (" + std::string(column) + ")");
    }
    return statements;
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
           kRevisionTable;
}

}  // namespace

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
            Exec(kRevisionTable, "cannot upgrade");
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
    // Each index in a write of its own, outside the upgrade: building one
    // on a million units takes a few seconds, which another process's write
    // then waits for once rather than for all of them together.
    for (const std::string& index : IndexStatements()) {
        Run(index, "cannot upgrade");
    }
}

}  // namespace vantrel
