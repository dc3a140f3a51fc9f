// The time to write one unit's record: into the SQLite file (in WAL mode,
// synced at each write) and onto a PostgreSQL server of its own on a Unix
// socket (fsync on, as a real server runs), each with a short log and with
// a log at its cap; and how long UnitRecorder::Record holds the caller.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "records/postgres_record_store.h"
#include "records/record_text.h"
#include "records/sqlite_record_store.h"
#include "records/unit_recorder.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWrites = 200;

struct Figures {
    double medianUs;
    double meanUs;
};

// Times `write` for records 0..kWrites-1 with a log of `logBytes` bytes.
Figures Time(const std::function<void(const vantrel::UnitRecord&)>& write, std::size_t logBytes,
             const std::string& station) {
    std::vector<double> us;
    for (int number = 0; number < kWrites; ++number) {
        vantrel::UnitRecord record = vantrel::test::SampleRecord(number, station);
        record.log = std::string(logBytes, 'l');
        const Clock::time_point start = Clock::now();
        write(record);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    double total = 0;
    for (const double one : us) {
        total += one;
    }
    std::nth_element(us.begin(), us.begin() + kWrites / 2, us.end());
    return {us[kWrites / 2], total / kWrites};
}

void Print(const char* store, const char* log, const Figures& figures) {
    std::printf("%-34s %-10s %12.1f %12.1f %12.0f\n", store, log, figures.medianUs, figures.meanUs,
                1e6 / figures.meanUs);
}

}  // namespace

int main() {
    vantrel::test::TempDir dir;
    const std::pair<const char*, std::size_t> logs[] = {{"1 KiB", 1024},
                                                        {"256 KiB", vantrel::kLogTextCap}};
    std::printf("%d writes each\n%-34s %-10s %12s %12s %12s\n", kWrites, "store", "log",
                "median us", "mean us", "records/s");

    vantrel::SqliteRecordStore file(dir.File("records.sqlite"));
    for (const auto& [name, bytes] : logs) {
        Print("SQLite file", name,
              Time([&](const auto& record) { file.Write(record); }, bytes, name));
    }

    std::unique_ptr<vantrel::test::PrivatePostgres> server;
    try {
        server = std::make_unique<vantrel::test::PrivatePostgres>(/*durable=*/true);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", error.what());
        return 1;
    }
    const auto target = std::get<vantrel::RecordTarget>(
        vantrel::ParseRecordTarget(server->Url(), dir.File("spool.sqlite")));
    vantrel::PostgresRecordStore line(*target.server);
    for (const auto& [name, bytes] : logs) {
        Print("PostgreSQL (Unix socket)", name,
              Time([&](const auto& record) { line.Write(record); }, bytes, name));
    }

    auto opened = vantrel::UnitRecorder::Open(target);
    auto& recorder = *std::get<std::unique_ptr<vantrel::UnitRecorder>>(opened);
    Print("UnitRecorder::Record (caller)", "1 KiB",
          Time([&](const auto& record) { recorder.Record(record); }, 1024, "recorder"));
    const Clock::time_point flushStart = Clock::now();
    const bool flushed = recorder.Flush(std::chrono::seconds(60));
    std::printf("recorder: all %d on the server %.1f ms after the last Record()%s\n", kWrites,
                std::chrono::duration<double, std::milli>(Clock::now() - flushStart).count(),
                flushed ? "" : " (not all arrived)");
    return flushed ? 0 : 1;
}
