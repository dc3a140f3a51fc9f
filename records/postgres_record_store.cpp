#include "records/postgres_record_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <limits>
#include <optional>
#include <pqxx/pqxx>
#include <utility>
#include <vector>

#include "records/record_columns.h"
#include "records/record_time.h"

namespace vantrel {
namespace {

constexpr const char* kInsert = "vantrel_insert_unit";
// The most units a listing holds at once.
constexpr std::size_t kPageRows = 256;
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

// libpq's messages span lines with tabs; one line reads better in a log.
std::string OneLine(const char* message) {
    std::string line;
    bool space = false;
    for (const char* c = message; *c; ++c) {
        if (*c == '\n' || *c == '\t' || *c == ' ') {
            space = !line.empty();
            continue;
        }
        if (space) {
            line += ' ';
            space = false;
        }
        line += *c;
    }
    return line;
}

// How long one statement may take on the server: a locked table or a
// server too busy to answer costs this, and then a warning, rather than a
// spool that silently stops.
constexpr int kStatementTimeoutSeconds = 20;

// Whether an SQL error is the server going away or stalling rather than
// it refusing the request: connection errors (08), shutdown (57P), a lack
// of resources (53), a statement that ran out of time (57014) and a lock
// not had in time (55P03), each of which may pass.
bool IsTransient(const std::string& state) {
    return state.starts_with("08") || state.starts_with("57P") || state.starts_with("53") ||
           state == "57014" || state == "55P03";
}

std::string TimeColumn(const std::string& column) {
    return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')";
}

// A row of the server's as RecordFromRow reads it.
class ServerRow {
  public:
    explicit ServerRow(const pqxx::row& row) : m_row(row) {}
    std::string Text(int column) const {
        const pqxx::field field = m_row[column];
        return std::string(field.c_str(), field.size());
    }
    std::int64_t Int(int column) const { return Number<std::int64_t>(column); }
    double Real(int column) const { return Number<double>(column); }

  private:
    template <typename T>
    T Number(int column) const {
        T value{};
        const pqxx::field field = m_row[column];
        std::from_chars(field.c_str(), field.c_str() + field.size(), value);
        return value;
    }
    const pqxx::row& m_row;
};

}  // namespace

struct PostgresRecordStore::Connection {
    explicit Connection(const std::string& conninfo) : connection(conninfo) {}
    pqxx::connection connection;
};

template <typename Action>
auto PostgresRecordStore::Guarded(const char* doing, Action action) {
    const auto fail = [&](const char* message, bool unreachable) {
        return RecordStoreError(
            std::string(doing) + " the record server " + m_name + ": " + OneLine(message),
            unreachable);
    };
    try {
        return action();
    } catch (const pqxx::broken_connection& error) {
        throw fail(error.what(), true);
    } catch (const pqxx::in_doubt_error& error) {
        throw fail(error.what(), true);
    } catch (const pqxx::sql_error& error) {
        throw fail(error.what(), IsTransient(error.sqlstate()));
    } catch (const pqxx::failure& error) {
        // What libpqxx reports without an SQL state, such as a connection
        // that closed while a statement ran.
        throw fail(error.what(), true);
    } catch (const std::exception& error) {
        // A value libpqxx could not convert, or no memory: nothing a retry
        // on a new connection would mend.
        throw fail(error.what(), false);
    }
}

PostgresRecordStore::PostgresRecordStore(const RecordServer& server, Mode mode)
    : m_name(server.name) {
    Guarded("cannot reach", [&] {
        m_connection = std::make_unique<Connection>(server.conninfo);
        // CREATE ... IF NOT EXISTS tells of what exists as a notice, which
        // libpqxx would print.
        pqxx::nontransaction quiet(m_connection->connection);
        quiet.exec("SET client_min_messages TO warning");
        quiet.exec("SET statement_timeout TO '" + std::to_string(kStatementTimeoutSeconds) + "s'");
    });
    // A look takes no lock that a writer or an upgrade would wait for.
    Tables tables = Guarded("cannot read from", [&] {
        pqxx::nontransaction look(m_connection->connection);
        return Look(look);
    });
    if (mode == Mode::kCreate) {
        RefuseNewer(tables.version);
        if (!tables.exist || tables.revision < kRecordSchemaRevision) {
            Upgrade();
            tables = {true, kSchemaVersion, kRecordSchemaRevision};
        }
        BuildIndexes();
    }
    // Only read: the tables stay as they are, and a reader lists the
    // columns it knows of a newer schema.
    m_hasTables = tables.exist;
    m_revision = tables.revision;
    if (m_hasTables && m_revision >= kRecordSchemaRevision) {
        std::string sql = "INSERT INTO vantrel_units (" + RecordColumnList() + ") VALUES (";
        for (std::size_t i = 1; i <= kRecordColumns.size(); ++i) {
            sql += (i > 1 ? ", $" : "$") + std::to_string(i);
        }
        sql += ") ON CONFLICT (id) DO NOTHING";
        Guarded("cannot use", [&] { m_connection->connection.prepare(kInsert, sql); });
    }
}

PostgresRecordStore::~PostgresRecordStore() = default;

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
            for (const auto& [name, column] : IndexedColumns()) {
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

void PostgresRecordStore::Write(const UnitRecord& record) {
    if (!m_hasTables || m_revision < kRecordSchemaRevision) {
        throw RecordStoreError("the record server " + m_name + " has no tables of schema " +
                               std::to_string(kSchemaVersion) + " revision " +
                               std::to_string(kRecordSchemaRevision) + " to write into");
    }
    std::vector<std::string> values;
    for (const RecordColumn& column : kRecordColumns) {
        values.push_back(ColumnText(column, record));
    }
    Guarded("cannot write to", [&] {
        // Reads what the server sent since the last write, so that a
        // connection it closed meanwhile (a restart) is found before the
        // insert: libpqxx 6.4 loses the result of a statement on a
        // connection that broke.
        m_connection->connection.get_notifs();
        pqxx::nontransaction insert(m_connection->connection);
        insert.exec_prepared(kInsert, pqxx::prepare::make_dynamic_params(values));
    });
}

void PostgresRecordStore::ForEachLatest(const RecordFilter& filter,
                                        const std::function<void(const UnitRecord&)>& each) {
    m_leftOut = 0;
    if (!m_hasTables) {
        return;
    }
    const std::string columns =
        RecordColumnList(m_revision, "", [](const std::string& sql, const RecordColumn& column) {
            return column.Kind() == ColumnKind::kTime ? TimeColumn(sql) : sql;
        });
    // Read a page at a time, each page after the last one's (start, id):
    // no transaction stays open while the caller writes the units out, so
    // a long export holds no lock that an upgrade or a writer waits for.
    std::string sql =
        "SELECT " + columns +
        " FROM vantrel_units"
        " WHERE ($1::timestamptz IS NULL OR start_utc >= $1::timestamptz)"
        " AND ($2::text IS NULL OR outcome = $2::text)"
        " AND ($3::text IS NULL OR port_label = $3::text OR device = $3::text"
        " OR stable_name = $3::text)"
        " AND ($4::timestamptz IS NULL OR (start_utc, id) < ($4::timestamptz, $5::text))"
        " AND " +
        CauseCondition("$6::text", "$7::text", m_revision);
    const std::string since = filter.since ? UtcTimeText(*filter.since) : "";
    const std::string outcome = filter.outcome ? std::string(OutcomeName(*filter.outcome)) : "";
    const std::string cause = filter.cause ? std::string(CauseName(*filter.cause)) : "";
    const auto causeOutcome = filter.cause ? OutcomeGivingCause(*filter.cause) : std::nullopt;
    const std::string causeOutcomeName =
        causeOutcome ? std::string(OutcomeName(*causeOutcome)) : "";
    // $4 and $5, the last page's end, are set once there is one.
    std::vector<const char*> values = {filter.since ? since.c_str() : nullptr,
                                       filter.outcome ? outcome.c_str() : nullptr,
                                       filter.port.empty() ? nullptr : filter.port.c_str(),
                                       nullptr,
                                       nullptr,
                                       filter.cause ? cause.c_str() : nullptr,
                                       causeOutcome ? causeOutcomeName.c_str() : nullptr};
    for (const ExactFilter& exact : kExactFilters) {
        const std::string value = "$" + std::to_string(values.size() + 1) + "::text";
        sql += " AND (" + value + " IS NULL OR " +
               SelectedColumn(ColumnNamed(exact.column), m_revision) + " = " + value + ")";
        const std::string& wanted = filter.*exact.value;
        values.push_back(wanted.empty() ? nullptr : wanted.c_str());
    }
    sql += " ORDER BY start_utc DESC, id DESC LIMIT $" + std::to_string(values.size() + 1) +
           "::bigint";
    std::string afterStart;
    std::string afterId;
    std::size_t left = filter.limit == 0 ? std::numeric_limits<std::size_t>::max() : filter.limit;
    while (left > 0) {
        const std::size_t wanted = std::min(left, kPageRows);
        const std::string limit = std::to_string(wanted);
        std::vector<const char*> page = values;
        page.push_back(limit.c_str());
        const pqxx::result rows = Guarded("cannot read from", [&] {
            pqxx::nontransaction select(m_connection->connection);
            return select.exec_params(sql, pqxx::prepare::make_dynamic_params(page));
        });
        for (const pqxx::row& row : rows) {
            const ServerRow stored(row);
            afterId = stored.Text(0);
            afterStart = stored.Text(1);
            std::optional<UnitRecord> record;
            try {
                record = RecordFromRow(stored, 0, m_name);
            } catch (const RecordStoreError&) {
                ++m_leftOut;
                continue;
            }
            each(*record);
        }
        if (rows.size() < wanted) {
            return;
        }
        left -= rows.size();
        values[3] = afterStart.c_str();
        values[4] = afterId.c_str();
    }
}

}  // namespace vantrel
