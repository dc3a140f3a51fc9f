// vantrel-records on a store of many units (1,000,000 unless given), each
// with a 1 kB log, in a SQLite file and on a PostgreSQL server of its own:
// the wall time and the peak memory of the latest-50 listing, a filter on
// one box, a work order's CSV export, and whole CSV, JSON and JSON lines
// exports, each written to /dev/null.
//
//   record_scale_bench [UNITS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pqxx/pqxx>
#include <string>
#include <vector>

#include "records/postgres_record_store.h"
#include "records/record_columns.h"
#include "records/record_target.h"
#include "records/sqlite_record_store.h"
#include "tests/records/private_postgres.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

// The value of each column of unit i, as SQL over the integer `i`:
// serials unique, 100 work orders, 10 operators, 16 stations; `time` makes
// a UTC time text of seconds since the epoch.
std::string GeneratedValues(const std::string& time, const std::string& text) {
    const auto value = [&](std::string_view name) -> std::string {
        if (name == "id")
            return "'bench-' || " + text;
        if (name == "start_utc" || name == "end_utc")
            return time;
        if (name == "station_name")
            return "'station-' || (i % 16)";
        if (name == "operator")
            return "'op-' || (i % 10)";
        if (name == "work_order")
            return "'WO-' || (i % 100)";
        if (name == "box_serial")
            return "'SN-' || " + text;
        if (name == "blocks_in_image" || name == "blocks_acknowledged")
            return "577";
        if (name == "frames_sent_again")
            return "0";
        if (name == "seconds")
            return "41.5";
        if (name == "outcome")
            return "'completed'";
        if (name == "cause")
            return "'completed'";
        if (name == "image_sha256")
            return "'" + std::string(64, 'a') + "'";
        if (name == "log")
            return "printf('%1024d', i)";
        return "'" + std::string(name) + "'";
    };
    std::string values;
    for (const vantrel::RecordColumn& column : vantrel::kRecordColumns) {
        values += (values.empty() ? "" : ", ") + value(column.name);
    }
    return values;
}

void FillFile(const std::string& path, long units) {
    vantrel::SqliteRecordStore{path};  // the tables
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string sql =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(units) + ") INSERT INTO units (" + vantrel::RecordColumnList() +
        ") SELECT " +
        GeneratedValues("strftime('%Y-%m-%dT%H:%M:%S', 1767225600 + i, 'unixepoch') || '.000000Z'",
                        "i") +
        " FROM n";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "filling the file: %s\n", error);
        std::exit(1);
    }
    sqlite3_close(db);
}

void FillServer(const vantrel::RecordServer& server, long units) {
    vantrel::PostgresRecordStore{server};  // the tables
    pqxx::connection connection(server.conninfo);
    pqxx::nontransaction fill(connection);
    std::string values = GeneratedValues("to_timestamp(1767225600 + i)", "i::text");
    // PostgreSQL's printf is format().
    const std::string printf = "printf('%1024d', i)";
    values.replace(values.find(printf), printf.size(), "lpad(i::text, 1024)");
    fill.exec("INSERT INTO vantrel_units (" + vantrel::RecordColumnList() + ") SELECT " + values +
              " FROM generate_series(1, " + std::to_string(units) + ") AS i");
    fill.exec("VACUUM ANALYZE vantrel_units");
}

// Runs vantrel-records with `args`, its output to /dev/null: seconds and
// peak resident memory in MB.
void Time(const char* what, std::vector<std::string> args) {
    args.insert(args.begin(), VANTREL_RECORDS_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-36s %10.3f %10.1f%s\n", what, seconds, usage.ru_maxrss / 1024.0,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  (failed)");
    std::fflush(stdout);
}

void Measure(const char* store, const std::string& record) {
    std::printf("\n%s\n%-36s %10s %10s\n", store, "listing", "seconds", "peak MB");
    Time("latest 50 (the table)", {"--record", record});
    Time("--box-serial (one box)", {"--record", record, "--box-serial", "SN-123456"});
    Time("--work-order --csv (1 in 100)", {"--record", record, "--work-order", "WO-7", "--csv"});
    Time("--csv (all)", {"--record", record, "--csv"});
    Time("--json (all)", {"--record", record, "--json"});
    Time("--json-lines (all)", {"--record", record, "--json-lines"});
}

}  // namespace

int main(int argc, char** argv) {
    const long units = argc > 1 ? std::atol(argv[1]) : 1000000;
    vantrel::test::TempDir dir;
    std::printf("%ld units with 1 kB logs\n", units);
    const std::string file = dir.File("records.sqlite");
    FillFile(file, units);
    Measure("SQLite file", file);

    vantrel::test::PrivatePostgres server(/*durable=*/true);
    const auto target = std::get<vantrel::RecordTarget>(
        vantrel::ParseRecordTarget(server.Url(), dir.File("spool.sqlite")));
    FillServer(*target.server, units);
    Measure("PostgreSQL (Unix socket)", server.Url());
    return 0;
}
