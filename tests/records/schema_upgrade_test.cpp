// Stores of schema 1, as Vantrel 1.0 left them, opened by this version:
// upgraded once, every unit kept field for field, the new fields empty; and
// listed as they are by a reader.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <pqxx/pqxx>
#include <sstream>
#include <thread>

#include "records/postgres_record_store.h"
#include "records/record_columns.h"
#include "records/record_report.h"
#include "records/record_target.h"
#include "records/sqlite_record_store.h"
#include "records/unit_recorder.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/json_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

// The units in fixtures/records-v1.sqlite, newest first.
std::vector<UnitRecord> V1Units() {
    struct Row {
        const char* start;
        const char* end;
        const char* host;
        const char* stableName;
        const char* adapterSerial;
        const char* imagePath;
        const char* kind;
        std::uint32_t blocks, acknowledged, resent;
        UnitOutcome outcome;
        const char* reason;
        double seconds;
        const char* log;
    };
    const char* const kLog =
        "Wait for STB BOOT...\n>> Uploading... [50 %]\n>> Uploading... [100 %]\n";
    const Row rows[] = {
        {"2026-03-01T08:10:00.000120Z", "2026-03-01T08:10:42.500000Z", "bench-7",
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "A10K3BQ0", "/srv/images/appl-0.bin",
         "LOAD", 65, 65, 0, UnitOutcome::kCompleted, "reason 0: completed", 12.25, kLog},
        {"2026-03-02T08:11:00.000121Z", "2026-03-02T08:11:42.500001Z",
         "pr\xc3\xbc"
         "fplatz-\xce\xa9",
         "/dev/serial/by-id/usb-FTDI_FT232R-if01-port0", "A10K3BQ1",
         "/srv/\xe7\x94\xbb\xe5\x83\x8f/\xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xa6.bin", "APPL", 577, 12, 3,
         UnitOutcome::kFailed, "the box refused the module end, \"twice\"", 13.25, kLog},
        {"2026-03-03T08:12:00.000122Z", "2026-03-03T08:12:42.500002Z", "bench-7", "", "",
         "/srv/images/appl-2.bin", "LDAP", 1025, 300, 6, UnitOutcome::kCancelled,
         "reason 2: cancelled", 14.25, ""},
        {"2026-03-04T08:13:00.000123Z", "2026-03-04T08:13:42.500003Z", "bench-7",
         "/dev/serial/by-id/usb-FTDI_FT232R-if03-port0", "A10K3BQ3", "/srv/images/appl-3.bin",
         "LOAD", 65, 40, 9, UnitOutcome::kLineLost, "reason 3: line lost", 15.25,
         "line one\r\nline two, with a comma\n\ttabbed line\nlast line without end"},
        {"2026-03-05T08:14:00.000124Z", "2026-03-05T08:14:42.500004Z", "bench-7",
         "/dev/serial/by-id/usb-FTDI_FT232R-if04-port0", "A10K3BQ4", "/srv/images/appl-4.bin",
         "APPL", 4294967295u, 0, 4294967295u, UnitOutcome::kTimedOut, "reason 4: timed out",
         0.30000000000000004, kLog},
        {"2026-03-06T08:15:00.000125Z", "2026-03-06T08:15:42.500005Z", "bench-7",
         "/dev/serial/by-id/usb-FTDI_FT232R-if05-port0", "A10K3BQ5", "/srv/images/appl-5.bin",
         "LDAP", 1025, 577, 15, UnitOutcome::kReadbackIncomplete, "reason 5: readback incomplete",
         17.25, kLog},
    };
    std::vector<UnitRecord> units;
    for (int i = 5; i >= 0; --i) {
        const Row& row = rows[i];
        const std::string n = std::to_string(i);
        UnitRecord unit;
        unit.id = "v1-unit-" + n;
        unit.start = *ParseUtcTime(row.start);
        unit.end = *ParseUtcTime(row.end);
        unit.host = row.host;
        unit.portLabel = "PORT " + std::to_string(i % 4 + 1);
        unit.device = "/dev/ttyUSB" + std::to_string(i % 4);
        unit.stableName = row.stableName;
        unit.adapterSerial = row.adapterSerial;
        unit.imagePath = row.imagePath;
        unit.imageSha256 = std::string(60, '0') + "abc" + n;
        unit.imageKind = row.kind;
        unit.blocksInImage = row.blocks;
        unit.blocksAcknowledged = row.acknowledged;
        unit.framesSentAgain = row.resent;
        unit.outcome = row.outcome;
        unit.reason = row.reason;
        unit.seconds = row.seconds;
        unit.toolVersion = "1.0 (git 2debeb0)";
        unit.log = row.log;
        unit.cause = CauseOfOutcome(row.outcome);
        units.push_back(unit);
    }
    return units;
}

void ExpectV1Units(const std::vector<UnitRecord>& listed, const char* what) {
    const std::vector<UnitRecord> expected = V1Units();
    ASSERT_EQ(listed.size(), expected.size()) << what;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        SCOPED_TRACE(what);
        test::ExpectSameRecord(expected[i], listed[i]);
    }
}

// A v2 unit with every new field, written into the upgraded store.
UnitRecord NewUnit() {
    UnitRecord unit = test::SampleRecord(9);
    for (int i = 0; i < 200; ++i) {
        unit.stationName += "\xc3\xa9";  // é
    }
    unit.operatorName = "J\xc3\xb8rgen \xe5\xbc\xa0";
    unit.workOrder = std::string(200, 'W');
    unit.boxSerial = "QRN7700-\xf0\x9f\x93\xa6";
    return unit;
}

std::string FileVersion(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    const std::string version = sqlite3_step(statement) == SQLITE_ROW
                                    ? std::to_string(sqlite3_column_int(statement, 0))
                                    : "";
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return version;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(SchemaUpgrade, ARecordFileOfSchema1IsUpgradedOnceKeepingEveryUnit) {
    using Mode = SqliteRecordStore::Mode;
    for (const Mode mode : {Mode::kCreate, Mode::kExisting}) {
        test::TempDir dir;
        const std::string path = dir.File("records.sqlite");
        std::filesystem::copy_file(VANTREL_RECORD_FIXTURES "/records-v1.sqlite", path);

        const std::string before = Bytes(path);
        ExpectV1Units(SqliteRecordStore(path, Mode::kReadOnly).Latest({}), "read as it is");
        EXPECT_EQ(Bytes(path), before) << "a reader upgrades nothing";

        ExpectV1Units(SqliteRecordStore(path, mode).Latest({}), "upgraded");
        EXPECT_EQ(FileVersion(path), "2");
        SqliteRecordStore again(path, mode);
        again.Write(NewUnit());
        std::vector<UnitRecord> units = again.Latest({});
        ASSERT_EQ(units.size(), 7u);
        test::ExpectSameRecord(NewUnit(), units.front());
        units.erase(units.begin());
        ExpectV1Units(units, "opened again");
    }
}

// An INSERT of `unit` as a writer of schema 2 (today's) makes it, naming only
// the columns it knows, each value quoted by `quote`.
template <typename Quote>
std::string TodaysInsert(const std::string& table, const UnitRecord& unit, Quote quote,
                         int revision = 2) {
    std::string columns;
    std::string values;
    for (const RecordColumn& column : kRecordColumns) {
        if (column.revision <= revision) {
            columns += (columns.empty() ? "" : ", ") + std::string(column.name);
            values += (values.empty() ? "" : ", ") + quote(ColumnText(column, unit));
        }
    }
    return "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
}

// The server's table as Vantrel 1.0 left it, holding V1Units().
RecordServer MakeV1Server(const test::PrivatePostgres& server) {
    const RecordServer target =
        *std::get<RecordTarget>(ParseRecordTarget(server.Url(), "unused.sqlite")).server;
    pqxx::connection connection(target.conninfo);
    pqxx::work make(connection);
    std::ifstream ddl(VANTREL_RECORD_FIXTURES "/postgres-v1.sql");
    make.exec(std::string(std::istreambuf_iterator<char>(ddl), {}));
    for (const UnitRecord& unit : V1Units()) {
        make.exec(TodaysInsert(
            "vantrel_units", unit, [&](const std::string& text) { return make.quote(text); }, 1));
    }
    make.commit();
    return target;
}

std::string ServerVersion(const RecordServer& target) {
    pqxx::connection connection(target.conninfo);
    pqxx::nontransaction look(connection);
    return look
        .exec("SELECT coalesce(string_agg(version::text, ','), '') FROM vantrel_schema")[0][0]
        .as<std::string>();
}

TEST(SchemaUpgrade, AServerTableOfSchema1IsUpgradedOnceKeepingEveryUnit) {
    test::PrivatePostgres server;
    const RecordServer target = MakeV1Server(server);
    using Mode = PostgresRecordStore::Mode;
    ExpectV1Units(PostgresRecordStore(target, Mode::kExisting).Latest({}), "read as it is");
    const auto version = [&] { return ServerVersion(target); };
    EXPECT_EQ(version(), "1") << "a reader upgrades nothing";

    // Two stations that start at once.
    std::thread other([&] { PostgresRecordStore station(target); });
    PostgresRecordStore station(target);
    other.join();
    EXPECT_EQ(version(), "2");
    ExpectV1Units(station.Latest({}), "upgraded");
    PostgresRecordStore again(target);
    again.Write(NewUnit());
    std::vector<UnitRecord> units = again.Latest({});
    ASSERT_EQ(units.size(), 7u);
    test::ExpectSameRecord(NewUnit(), units.front());
    units.erase(units.begin());
    ExpectV1Units(units, "opened again");
}

TEST(SchemaUpgrade, AServerTableOfSchema1WithAnEmptyVersionTableIsUpgraded) {
    test::PrivatePostgres server;
    const RecordServer target = MakeV1Server(server);
    {
        pqxx::connection connection(target.conninfo);
        pqxx::nontransaction(connection).exec("DELETE FROM vantrel_schema");
    }
    PostgresRecordStore station(target);
    station.Write(NewUnit());
    EXPECT_EQ(ServerVersion(target), "2");
    EXPECT_EQ(station.Latest({}).size(), 7u);
    // A unit stored without a cause is found by the one its outcome gives.
    RecordFilter lost;
    lost.cause = UnitCause::kLineLost;
    const std::vector<UnitRecord> found = station.Latest(lost);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, "v1-unit-3");
}

// A long report holds the table of schema 1 while a station of this version
// starts and another of the first version writes: the upgrade gives up its
// lock wait at once, so the older station's insert does not queue behind it,
// and the unit waits in the spool until the report ends.
TEST(SchemaUpgrade, AnOpenTransactionOnTheTableStallsNoStation) {
    test::PrivatePostgres server;
    const RecordServer target = MakeV1Server(server);
    pqxx::connection reportConnection(target.conninfo);
    pqxx::work report(reportConnection);
    report.exec("SELECT count(*) FROM vantrel_units");

    test::TempDir dir;
    RecordTarget station =
        std::get<RecordTarget>(ParseRecordTarget(server.Url(), dir.File("r.sqlite")));
    RecorderOptions options;
    options.retryInterval = std::chrono::milliseconds(50);
    std::vector<std::string> warnings;
    std::mutex mutex;
    options.onWarning = [&](const std::string& text) {
        std::lock_guard lock(mutex);
        warnings.push_back(text);
    };
    auto opened = UnitRecorder::Open(station, options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<UnitRecorder>>(opened));
    auto& recorder = std::get<std::unique_ptr<UnitRecorder>>(opened);
    ASSERT_TRUE(recorder->Record(NewUnit()));
    ASSERT_TRUE(test::WaitUntil([&] { return recorder->Status().serverUnreachable; },
                                [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); },
                                std::chrono::seconds(30)));

    UnitRecord older = V1Units()[0];
    older.id = "older-station-unit";
    pqxx::connection olderConnection(target.conninfo);
    pqxx::nontransaction insert(olderConnection);
    // Well below the 20 s an upgrade that waited for its lock held writers.
    insert.exec("SET statement_timeout TO '10s'");
    EXPECT_NO_THROW(insert.exec(TodaysInsert(
        "vantrel_units", older, [&](const std::string& text) { return insert.quote(text); }, 1)));
    EXPECT_EQ(ServerVersion(target), "1");

    report.commit();
    EXPECT_TRUE(recorder->Flush(std::chrono::seconds(30)));
    EXPECT_EQ(ServerVersion(target), "2");
    const std::vector<UnitRecord> units =
        PostgresRecordStore(target, PostgresRecordStore::Mode::kExisting).Latest({});
    EXPECT_EQ(units.size(), 8u);
    recorder->Close(std::chrono::seconds(5));
    std::lock_guard lock(mutex);
    EXPECT_EQ(warnings.size(), 1u);
}

// What today's programs do, once a newer one has added to the schema: check
// the version number, and insert naming the columns they know.
TEST(SchemaUpgrade, TodaysWritersGoOnWritingIntoTheUpgradedTables) {
    UnitRecord unit = V1Units()[3];
    unit.id = "today-unit";
    {
        test::TempDir dir;
        const std::string path = dir.File("records.sqlite");
        SqliteRecordStore(path).Write(NewUnit());
        EXPECT_EQ(FileVersion(path), "2");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const auto quote = [](const std::string& text) {
            std::string quoted = "'";
            for (const char c : text) {
                quoted += c == '\'' ? "''" : std::string(1, c);
            }
            return quoted + "'";
        };
        EXPECT_EQ(
            sqlite3_exec(db, TodaysInsert("units", unit, quote).c_str(), nullptr, nullptr, nullptr),
            SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
        const std::vector<UnitRecord> units = SqliteRecordStore(path).Latest({});
        ASSERT_EQ(units.size(), 2u);
        test::ExpectSameRecord(unit, units.back());
    }
    test::PrivatePostgres server;
    const RecordServer target =
        *std::get<RecordTarget>(ParseRecordTarget(server.Url(), "unused.sqlite")).server;
    PostgresRecordStore(target).Write(NewUnit());
    EXPECT_EQ(ServerVersion(target), "2");
    {
        pqxx::connection connection(target.conninfo);
        pqxx::nontransaction insert(connection);
        insert.exec(TodaysInsert("vantrel_units", unit,
                                 [&](const std::string& text) { return insert.quote(text); }));
    }
    const std::vector<UnitRecord> units = PostgresRecordStore(target).Latest({});
    ASSERT_EQ(units.size(), 2u);
    test::ExpectSameRecord(unit, units.back());
}

TEST(SchemaUpgrade, UnitsKeptAsideBySchema1AreImportedWithTheNewFieldsEmpty) {
    UnitRecord unit = V1Units()[3];
    nlohmann::json line = test::ParseJson(FormatUnitJsonLine(unit));
    for (const char* added : {"station_name", "operator", "work_order", "box_serial"}) {
        line.erase(added);
    }
    test::ExpectSameRecord(unit, ParseUnitJson(test::JsonText(line), "units.jsonl line 1"));
}

}  // namespace
}  // namespace vantrel
