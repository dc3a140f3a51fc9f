// Stores of schema 1, as Vantrel 1.0 left them, opened by this version:
// upgraded once, every unit kept field for field, the new fields empty; and
// listed as they are by a reader.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <pqxx/pqxx>
#include <sstream>
#include <thread>

#include "records/postgres_record_store.h"
#include "records/record_columns.h"
#include "records/record_report.h"
#include "records/record_target.h"
#include "records/sqlite_record_store.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/json_text.h"
#include "tests/support/temp_dir.h"

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

TEST(SchemaUpgrade, AServerTableOfSchema1IsUpgradedOnceKeepingEveryUnit) {
    test::PrivatePostgres server;
    const RecordServer target =
        *std::get<RecordTarget>(ParseRecordTarget(server.Url(), "unused.sqlite")).server;
    {
        pqxx::connection connection(target.conninfo);
        pqxx::work make(connection);
        std::ifstream ddl(VANTREL_RECORD_FIXTURES "/postgres-v1.sql");
        make.exec(std::string(std::istreambuf_iterator<char>(ddl), {}));
        std::string columns;
        for (const RecordColumn& column : kRecordColumns) {
            columns +=
                column.revision == 1 ? (columns.empty() ? "" : ", ") + std::string(column.name) : "";
        }
        for (const UnitRecord& unit : V1Units()) {
            std::string values;
            for (const RecordColumn& column : kRecordColumns) {
                if (column.revision == 1) {
                    values += (values.empty() ? "" : ", ") + make.quote(ColumnText(column, unit));
                }
            }
            make.exec("INSERT INTO vantrel_units (" + columns + ") VALUES (" + values + ")");
        }
        make.commit();
    }
    using Mode = PostgresRecordStore::Mode;
    ExpectV1Units(PostgresRecordStore(target, Mode::kExisting).Latest({}), "read as it is");
    const auto version = [&] {
        pqxx::connection connection(target.conninfo);
        pqxx::nontransaction look(connection);
        return look.exec("SELECT string_agg(version::text, ',') FROM vantrel_schema")[0][0]
            .as<std::string>();
    };
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
