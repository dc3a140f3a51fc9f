// The tables on a record server: their revision, creating or upgrading them
// without stalling the stations that write, and their indexes.
#include <algorithm>
#include <array>
#include <chrono>
#include <pqxx/pqxx>
#include <string>
#include <utility>
#include <vector>

#include "records/postgres_calls.h"
#include "records/postgres_record_store.h"
#include "records/record_columns.h"

namespace vantrel {
namespace {

// Serializes creating the tables across stations: two CREATE TABLE IF NOT
// EXISTS at once can still collide.
constexpr long kSchemaLock = 0x564E5452;
// Lets one station at a time build the indexes.
constexpr long kIndexLock = 0x564E5453;
// The longest an upgrade or an index build waits for a lock.
constexpr std::chrono::milliseconds kLockTimeout{1000};

// A column as CREATE TABLE and ALTER TABLE ... ADD COLUMN give it.
std::string ColumnDefinition(const RecordColumn& column) {
    static constexpr std::array<const char*, 6> kTypes = {
        "TEXT", "TIMESTAMPTZ", "BIGINT", "DOUBLE PRECISION", "TEXT", "TEXT"};
    return std::string(column.name) + " " + kTypes[static_cast<std::size_t>(column.Kind())] +
           (column.Key() ? " PRIMARY KEY" : " NOT NULL") +
           (column.revision > 1 ? " DEFAULT ''" : "");
}

std::string Schema() {
    std::string columns;
    for (const RecordColumn& column : kRecordColumns) {
        columns += "\n    " + ColumnDefinition(column) + ",";
    }
    return "CREATE TABLE IF NOT EXISTS vantrel_units (" + columns +
           "\n    received_utc TIMESTAMPTZ NOT NULL DEFAULT now()\n);\n"
           "CREATE TABLE IF NOT EXISTS vantrel_schema (version INTEGER NOT NULL);\n"
           "CREATE TABLE IF NOT EXISTS vantrel_schema_revision (revision INTEGER NOT NULL);\n";
}

// Each index's name and column: the start, and what filters match exactly.
std::vector<std::pair<std::string, std::string>> IndexedColumns() {
    std::vector<std::pair<std::string, std::string>> indexes = {
        {"vantrel_units_by_start", "start_utc"}};
    for (const std::string_view column : kIndexedColumns) {
        indexes.emplace_back("vantrel_units_by_" + std::string(column), std::string(column));
    }
    return indexes;
}

}  // namespace

PostgresRecordStore::Tables PostgresRecordStore::Look(pqxx::transaction_base& transaction) const {
    Tables tables;
    const pqxx::row found = transaction.exec(
        "SELECT to_regclass('vantrel_units') IS NOT NULL,"
        " to_regclass('vantrel_schema') IS NOT NULL,"
        " to_regclass('vantrel_schema_revision') IS NOT NULL")[0];
    tables.exist = found[0].as<bool>();
    if (!tables.exist) {
        tables.revision = kRecordSchemaRevision;
        return tables;
    }
    if (found[1].as<bool>()) {
        tables.version =
            transaction.exec("SELECT coalesce(max(version), 0) FROM vantrel_schema")[0][0]
                .as<int>();
    }
    if (tables.version > kSchemaVersion) {
        tables.revision = kRecordSchemaRevision;  // a newer schema only adds
        return tables;
    }
    int kept = tables.version;
    if (found[2].as<bool>()) {
        kept = std::max(kept, transaction
                                  .exec("SELECT coalesce(max(revision), 0)"
                                        " FROM vantrel_schema_revision")[0][0]
                                  .as<int>());
    }
    // The columns are what a write needs: they tell where the version
    // table holds no row, and where it says more than is there.
    const pqxx::result columns = transaction.exec(
        "SELECT attname FROM pg_attribute WHERE attrelid = 'vantrel_units'::regclass"
        " AND attnum > 0 AND NOT attisdropped");
    const int present = RevisionOfColumns([&](std::string_view name) {
        for (const pqxx::row& column : columns) {
            if (column[0].c_str() == name) {
                return true;
            }
        }
        return false;
    });
    tables.revision = std::max(1, kept > 0 ? std::min(kept, present) : present);
    tables.version = std::max(tables.version, VersionOfRevision(tables.revision));
    return tables;
}

void PostgresRecordStore::RefuseNewer(int version) const {
    if (version > kSchemaVersion) {
        throw RecordStoreError("the record server " + m_name + " holds records of a newer " +
                               "Vantrel (schema " + std::to_string(version) + "; this one knows " +
                               std::to_string(kSchemaVersion) + ")");
    }
}

void PostgresRecordStore::Upgrade() {
    const int version = Guarded("cannot create the tables on", [&] {
        pqxx::work create(m_connection->connection);
        // A lock held by another client (a long report, a station's open
        // transaction) is not waited for beyond this: the unit waits in the
        // spool instead, and the other stations' writes never queue behind
        // an upgrade that waits.
        create.exec("SET LOCAL lock_timeout TO '" + std::to_string(kLockTimeout.count()) + "ms'");
        // Stations that start at once create or upgrade one after another.
        create.exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
        create.exec(Schema());
        const Tables found = Look(create);
        if (found.version > kSchemaVersion) {
            return found.version;
        }
        // Each unit already there keeps its fields, and the new ones are
        // empty.
        for (const RecordColumn& column : kRecordColumns) {
            if (column.revision > found.revision) {
                create.exec("ALTER TABLE vantrel_units ADD COLUMN IF NOT EXISTS " +
                            ColumnDefinition(column));
            }
        }
        if (create.exec("SELECT coalesce(max(version), 0) FROM vantrel_schema")[0][0].as<int>() <
            kSchemaVersion) {
            create.exec("DELETE FROM vantrel_schema");
            create.exec("INSERT INTO vantrel_schema (version) VALUES (" +
                        std::to_string(kSchemaVersion) + ")");
        }
        create.exec(KeepRevisionSql("vantrel_schema_revision"));
        create.commit();
        return kSchemaVersion;
    });
    RefuseNewer(version);
}

void PostgresRecordStore::BuildIndexes() {
    // Built beside the writers (CONCURRENTLY), outside any transaction, by
    // one station at a time; one that cannot have its locks soon is left
    // for a later start, as filters work without it, only slower.
    const std::vector<std::pair<std::string, std::string>> indexes = IndexedColumns();
    const bool built = Guarded("cannot read from", [&] {
        pqxx::nontransaction look(m_connection->connection);
        std::string names;
        for (const auto& index : indexes) {
            names += (names.empty() ? "" : ", ") + look.quote(index.first);
        }
        return look.exec(
                       "SELECT count(*) FROM pg_index WHERE indisvalid AND indexrelid IN"
                       " (SELECT to_regclass(name) FROM unnest(ARRAY[" +
                       names + "]) AS name)")[0][0]
                   .as<std::size_t>() == indexes.size();
    });
    // At most starts, one look is all.
    if (built) {
        return;
    }
    const bool mine = Guarded("cannot create the indexes on", [&] {
        pqxx::nontransaction lock(m_connection->connection);
        return lock.exec("SELECT pg_try_advisory_lock(" + std::to_string(kIndexLock) + ")")[0][0]
            .as<bool>();
    });
    if (!mine) {
        return;
    }
    Guarded("cannot create the indexes on", [&] {
        try {
            pqxx::nontransaction build(m_connection->connection);
            build.exec("SET lock_timeout TO '" + std::to_string(kLockTimeout.count()) + "ms'");
            build.exec("SET statement_timeout TO 0");
            for (const auto& [name, column] : indexes) {
                const pqxx::result index =
                    build.exec("SELECT indisvalid FROM pg_index WHERE indexrelid = to_regclass(" +
                               build.quote(name) + ")");
                if (!index.empty() && index[0][0].as<bool>()) {
                    continue;
                }
                // What a build that did not end left behind.
                build.exec("DROP INDEX CONCURRENTLY IF EXISTS " + name);
                build.exec("CREATE INDEX CONCURRENTLY IF NOT EXISTS " + name +
                           " ON vantrel_units (" + column + ")");
            }
        } catch (const pqxx::sql_error&) {
            // A lock not had in time, or a build another client cancelled.
        }
        pqxx::nontransaction build(m_connection->connection);
        build.exec("RESET lock_timeout");
        build.exec("SET statement_timeout TO '" + std::to_string(kStatementTimeoutSeconds) + "s'");
        build.exec("SELECT pg_advisory_unlock(" + std::to_string(kIndexLock) + ")");
    });
}

}  // namespace vantrel
