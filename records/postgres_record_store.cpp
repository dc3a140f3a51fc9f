#include "records/postgres_record_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <pqxx/pqxx>

#include "records/record_columns.h"
#include "records/record_time.h"

namespace vantrel {
namespace {

constexpr const char* kInsert = "vantrel_insert_unit";
// Serializes creating the tables across stations: two CREATE TABLE IF NOT
// EXISTS at once can still collide.
constexpr long kSchemaLock = 0x564E5452;

// A column as CREATE TABLE and ALTER TABLE ... ADD COLUMN give it.
std::string ColumnDefinition(const RecordColumn& column) {
    static constexpr std::array<const char*, 5> kTypes = {"TEXT", "TIMESTAMPTZ", "BIGINT",
                                                          "DOUBLE PRECISION", "TEXT"};
    return std::string(column.name) + " " + kTypes[static_cast<std::size_t>(column.Kind())] +
           (column.Key() ? " PRIMARY KEY" : " NOT NULL") + (column.schema > 1 ? " DEFAULT ''" : "");
}

std::string Schema() {
    std::string columns;
    for (const RecordColumn& column : kRecordColumns) {
        columns += "\n    " + ColumnDefinition(column) + ",";
    }
    return "CREATE TABLE IF NOT EXISTS vantrel_units (" + columns +
           "\n    received_utc TIMESTAMPTZ NOT NULL DEFAULT now()\n);\n"
           "CREATE INDEX IF NOT EXISTS vantrel_units_by_start ON vantrel_units (start_utc);\n"
           "CREATE TABLE IF NOT EXISTS vantrel_schema (version INTEGER NOT NULL);\n";
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
// of resources (53) and a statement that ran out of time (57014), each of
// which may pass.
bool IsTransient(const std::string& state) {
    return state.starts_with("08") || state.starts_with("57P") || state.starts_with("53") ||
           state == "57014";
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
    if (mode == Mode::kCreate) {
        CreateTables();
    } else {
        m_hasTables = Guarded("cannot read from", [&] {
            pqxx::nontransaction look(m_connection->connection);
            return look.exec("SELECT to_regclass('vantrel_units') IS NOT NULL")[0][0].as<bool>();
        });
        if (m_hasTables) {
            // Only read: the tables stay as they are, and a reader lists the
            // columns it knows of a newer schema.
            m_schema = Guarded("cannot read from", [&] {
                pqxx::nontransaction look(m_connection->connection);
                return SchemaVersion(look);
            });
        }
    }
    if (m_hasTables && m_schema == kSchemaVersion) {
        std::string sql = "INSERT INTO vantrel_units (" + RecordColumnList() + ") VALUES (";
        for (std::size_t i = 1; i <= kRecordColumns.size(); ++i) {
            sql += (i > 1 ? ", $" : "$") + std::to_string(i);
        }
        sql += ") ON CONFLICT (id) DO NOTHING";
        Guarded("cannot use", [&] { m_connection->connection.prepare(kInsert, sql); });
    }
}

PostgresRecordStore::~PostgresRecordStore() = default;

int PostgresRecordStore::SchemaVersion(pqxx::transaction_base& transaction) const {
    const int version =
        transaction.exec("SELECT coalesce(max(version), 0) FROM vantrel_schema")[0][0].as<int>();
    return std::max(version, 1);
}

void PostgresRecordStore::RefuseNewer(int version) const {
    if (version > kSchemaVersion) {
        throw RecordStoreError("the record server " + m_name + " holds records of a newer " +
                               "Vantrel (schema " + std::to_string(version) + "; this one knows " +
                               std::to_string(kSchemaVersion) + ")");
    }
}

void PostgresRecordStore::CreateTables() {
    const int version = Guarded("cannot create the tables on", [&] {
        pqxx::work create(m_connection->connection);
        // Stations that start at once create or upgrade one after another.
        create.exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
        create.exec(Schema());
        const bool numbered = !create.exec("SELECT 1 FROM vantrel_schema LIMIT 1").empty();
        const int found = numbered ? SchemaVersion(create) : kSchemaVersion;
        if (found > kSchemaVersion) {
            return found;
        }
        // Each unit already there keeps its fields, and the new ones are
        // empty.
        for (const RecordColumn& column : kRecordColumns) {
            if (column.schema > found) {
                create.exec("ALTER TABLE vantrel_units ADD COLUMN IF NOT EXISTS " +
                            ColumnDefinition(column));
            }
        }
        if (!numbered || found < kSchemaVersion) {
            create.exec("DELETE FROM vantrel_schema");
            create.exec("INSERT INTO vantrel_schema (version) VALUES (" +
                        std::to_string(kSchemaVersion) + ")");
        }
        create.commit();
        return kSchemaVersion;
    });
    RefuseNewer(version);
    m_hasTables = true;
    m_schema = kSchemaVersion;
}

void PostgresRecordStore::Write(const UnitRecord& record) {
    if (!m_hasTables || m_schema != kSchemaVersion) {
        throw RecordStoreError("the record server " + m_name + " has no tables of schema " +
                               std::to_string(kSchemaVersion) + " to write into");
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

std::vector<UnitRecord> PostgresRecordStore::Latest(const RecordFilter& filter) {
    std::vector<UnitRecord> records;
    if (!m_hasTables) {
        return records;
    }
    const std::string columns =
        RecordColumnList(m_schema, "", [](const std::string& sql, const RecordColumn& column) {
            return column.Kind() == ColumnKind::kTime ? TimeColumn(sql) : sql;
        });
    std::string sql = "SELECT " + columns +
                      " FROM vantrel_units"
                      " WHERE ($1::timestamptz IS NULL OR start_utc >= $1::timestamptz)"
                      " AND ($2::text IS NULL OR outcome = $2::text)"
                      " AND ($3::text IS NULL OR port_label = $3::text OR device = $3::text"
                      " OR stable_name = $3::text)";
    const std::string since = filter.since ? UtcTimeText(*filter.since) : "";
    const std::string outcome = filter.outcome ? std::string(OutcomeName(*filter.outcome)) : "";
    const std::string limit = std::to_string(filter.limit);
    std::vector<const char*> values = {filter.since ? since.c_str() : nullptr,
                                       filter.outcome ? outcome.c_str() : nullptr,
                                       filter.port.empty() ? nullptr : filter.port.c_str()};
    for (const ExactFilter& exact : kExactFilters) {
        const std::string value = "$" + std::to_string(values.size() + 1) + "::text";
        sql += " AND (" + value + " IS NULL OR " +
               SelectedColumn(ColumnNamed(exact.column), m_schema) + " = " + value + ")";
        const std::string& wanted = filter.*exact.value;
        values.push_back(wanted.empty() ? nullptr : wanted.c_str());
    }
    sql += " ORDER BY start_utc DESC, id DESC LIMIT $" + std::to_string(values.size() + 1) +
           "::bigint";
    values.push_back(filter.limit == 0 ? nullptr : limit.c_str());
    const pqxx::result rows = Guarded("cannot read from", [&] {
        pqxx::nontransaction select(m_connection->connection);
        return select.exec_params(sql, pqxx::prepare::make_dynamic_params(values));
    });
    m_leftOut = 0;
    for (const pqxx::row& row : rows) {
        try {
            records.push_back(RecordFromRow(ServerRow(row), 0, m_name));
        } catch (const RecordStoreError&) {
            ++m_leftOut;
        }
    }
    return records;
}

}  // namespace vantrel
