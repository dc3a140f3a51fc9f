#include "records/postgres_record_store.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <pqxx/pqxx>
#include <vector>

#include "records/postgres_calls.h"
#include "records/record_columns.h"
#include "records/record_time.h"

namespace vantrel {
namespace {

constexpr const char* kInsert = "vantrel_insert_unit";
// The most units a listing holds at once.
constexpr std::size_t kPageRows = 256;

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
    // A reader leaves the tables as they are, and lists the columns it
    // knows of a newer schema.
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
    const CauseMatch cause = filter.cause ? MatchOfCause(*filter.cause) : CauseMatch{};
    // $4 and $5, the last page's end, are set once there is one.
    std::vector<const char*> values = {filter.since ? since.c_str() : nullptr,
                                       filter.outcome ? outcome.c_str() : nullptr,
                                       filter.port.empty() ? nullptr : filter.port.c_str(),
                                       nullptr,
                                       nullptr,
                                       filter.cause ? cause.cause.c_str() : nullptr,
                                       cause.outcome.empty() ? nullptr : cause.outcome.c_str()};
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
