#include "records/postgres_record_store.h"

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

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS vantrel_units (
    id TEXT PRIMARY KEY,
    start_utc TIMESTAMPTZ NOT NULL,
    end_utc TIMESTAMPTZ NOT NULL,
    host TEXT NOT NULL,
    port_label TEXT NOT NULL,
    device TEXT NOT NULL,
    stable_name TEXT NOT NULL,
    adapter_serial TEXT NOT NULL,
    image_path TEXT NOT NULL,
    image_sha256 TEXT NOT NULL,
    image_kind TEXT NOT NULL,
    blocks_in_image BIGINT NOT NULL,
    blocks_acknowledged BIGINT NOT NULL,
    frames_sent_again BIGINT NOT NULL,
    outcome TEXT NOT NULL,
    reason TEXT NOT NULL,
    seconds DOUBLE PRECISION NOT NULL,
    tool_version TEXT NOT NULL,
    log TEXT NOT NULL,
    received_utc TIMESTAMPTZ NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS vantrel_units_by_start ON vantrel_units (start_utc);
CREATE TABLE IF NOT EXISTS vantrel_schema (version INTEGER NOT NULL);
)sql";

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

std::string NumberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string TimeColumn(const char* column) {
    return std::string("to_char(") + column +
           " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')";
}

std::uint32_t ToCount(const pqxx::field& field) {
    long long value = 0;
    const std::string_view text(field.c_str(), field.size());
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value < 0 ? 0 : value > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

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
    }
    if (!m_hasTables) {
        return;
    }
    const int version = Guarded("cannot read from", [&] {
        pqxx::nontransaction look(m_connection->connection);
        const pqxx::result result =
            look.exec("SELECT coalesce(max(version), 0) FROM vantrel_schema");
        return result[0][0].as<int>();
    });
    if (version > kSchemaVersion) {
        throw RecordStoreError("the record server " + m_name + " holds records of a newer " +
                               "Vantrel (schema " + std::to_string(version) + "; this one knows " +
                               std::to_string(kSchemaVersion) + ")");
    }
    std::string sql = "INSERT INTO vantrel_units (" + RecordColumnList() + ") VALUES (";
    for (std::size_t i = 1; i <= kRecordColumns.size(); ++i) {
        sql += (i > 1 ? ", $" : "$") + std::to_string(i);
    }
    sql += ") ON CONFLICT (id) DO NOTHING";
    Guarded("cannot use", [&] { m_connection->connection.prepare(kInsert, sql); });
}

PostgresRecordStore::~PostgresRecordStore() = default;

void PostgresRecordStore::CreateTables() {
    Guarded("cannot create the tables on", [&] {
        pqxx::work create(m_connection->connection);
        create.exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
        create.exec(kSchema);
        create.exec("INSERT INTO vantrel_schema (version) SELECT " +
                    std::to_string(kSchemaVersion) +
                    " WHERE NOT EXISTS (SELECT 1 FROM vantrel_schema)");
        create.commit();
    });
    m_hasTables = true;
}

void PostgresRecordStore::Write(const UnitRecord& record) {
    if (!m_hasTables) {
        throw RecordStoreError("the record server " + m_name + " has no tables to write into");
    }
    Guarded("cannot write to", [&] {
        // Reads what the server sent since the last write, so that a
        // connection it closed meanwhile (a restart) is found before the
        // insert: libpqxx 6.4 loses the result of a statement on a
        // connection that broke.
        m_connection->connection.get_notifs();
        pqxx::nontransaction insert(m_connection->connection);
        insert.exec_prepared(
            kInsert, record.id, UtcTimeText(record.start), UtcTimeText(record.end), record.host,
            record.portLabel, record.device, record.stableName, record.adapterSerial,
            record.imagePath, record.imageSha256, record.imageKind,
            std::to_string(record.blocksInImage), std::to_string(record.blocksAcknowledged),
            std::to_string(record.framesSentAgain), std::string(OutcomeName(record.outcome)),
            record.reason, NumberText(record.seconds), record.toolVersion, record.log);
    });
}

std::vector<UnitRecord> PostgresRecordStore::Latest(const RecordFilter& filter) {
    std::vector<UnitRecord> records;
    if (!m_hasTables) {
        return records;
    }
    std::string columns;
    for (const std::string_view column : kRecordColumns) {
        const std::string name(column);
        const bool time = column == "start_utc" || column == "end_utc";
        columns += (columns.empty() ? "" : ", ") + (time ? TimeColumn(name.c_str()) : name);
    }
    const std::string sql = "SELECT " + columns +
                            " FROM vantrel_units"
                            " WHERE ($1::timestamptz IS NULL OR start_utc >= $1::timestamptz)"
                            " AND ($2::text IS NULL OR outcome = $2::text)"
                            " AND ($3::text IS NULL OR port_label = $3::text OR device = $3::text"
                            " OR stable_name = $3::text)"
                            " ORDER BY start_utc DESC, id DESC LIMIT $4::bigint";
    const std::string since = filter.since ? UtcTimeText(*filter.since) : "";
    const std::string outcome = filter.outcome ? std::string(OutcomeName(*filter.outcome)) : "";
    const std::string limit = std::to_string(filter.limit);
    const pqxx::result rows = Guarded("cannot read from", [&] {
        pqxx::nontransaction select(m_connection->connection);
        return select.exec_params(sql, filter.since ? since.c_str() : nullptr,
                                  filter.outcome ? outcome.c_str() : nullptr,
                                  filter.port.empty() ? nullptr : filter.port.c_str(),
                                  filter.limit == 0 ? nullptr : limit.c_str());
    });
    m_leftOut = 0;
    for (const pqxx::row& row : rows) {
        try {
            records.push_back(ReadRow(row));
        } catch (const RecordStoreError&) {
            ++m_leftOut;
        }
    }
    return records;
}

UnitRecord PostgresRecordStore::ReadRow(const pqxx::row& row) const {
    UnitRecord record;
    int column = 0;
    const auto text = [&] {
        const pqxx::field field = row[column++];
        return std::string(field.c_str(), field.size());
    };
    record.id = text();
    for (UnitRecord::Clock::time_point* time : {&record.start, &record.end}) {
        const std::string stored = text();
        const auto parsed = ParseUtcTime(stored);
        if (!parsed) {
            throw RecordStoreError("unit " + record.id + " on " + m_name +
                                   " has a time that is none: \"" + stored + "\"");
        }
        *time = *parsed;
    }
    for (std::string* field :
         {&record.host, &record.portLabel, &record.device, &record.stableName,
          &record.adapterSerial, &record.imagePath, &record.imageSha256, &record.imageKind}) {
        *field = text();
    }
    record.blocksInImage = ToCount(row[column++]);
    record.blocksAcknowledged = ToCount(row[column++]);
    record.framesSentAgain = ToCount(row[column++]);
    record.outcome = StoredOutcome(text(), record.id, m_name);
    record.reason = text();
    const std::string seconds = text();
    std::from_chars(seconds.data(), seconds.data() + seconds.size(), record.seconds);
    record.toolVersion = text();
    record.log = text();
    return record;
}

}  // namespace vantrel
