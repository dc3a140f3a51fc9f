// Recording onto a PostgreSQL server of the test's own: two stations at
// once, the server stopped in the middle, one that does not exist, a spool
// left by an earlier run, and one with a unit of a newer version.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <mutex>
#include <set>
#include <thread>

#include "records/postgres_record_store.h"
#include "records/sqlite_record_store.h"
#include "records/unit_recorder.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/child_process.h"
#include "tests/support/json_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

class ServerSpool : public ::testing::Test {
  protected:
    RecordTarget Target(const std::string& url, const std::string& localFile) {
        auto target = ParseRecordTarget(url, localFile);
        EXPECT_TRUE(std::holds_alternative<RecordTarget>(target)) << std::get<std::string>(target);
        return std::get<RecordTarget>(target);
    }

    std::unique_ptr<UnitRecorder> OpenRecorder(const RecordTarget& target) {
        RecorderOptions options;
        options.retryInterval = 20ms;
        options.onWarning = [this](const std::string& text) {
            std::lock_guard lock(mutex);
            warnings.push_back(text);
        };
        options.onNotice = [this](const std::string& text) {
            std::lock_guard lock(mutex);
            notices.push_back(text);
        };
        auto opened = UnitRecorder::Open(target, options);
        if (auto* error = std::get_if<std::string>(&opened)) {
            ADD_FAILURE() << *error;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<UnitRecorder>>(opened));
    }

    std::set<std::string> OnServer() {
        std::set<std::string> ids;
        PostgresRecordStore store(*Target(server.Url(), spool).server,
                                  PostgresRecordStore::Mode::kExisting);
        for (const UnitRecord& record : store.Latest({})) {
            ids.insert(record.id);
        }
        return ids;
    }

    std::size_t Spooled(const RecordTarget& target) {
        return SqliteRecordStore(target.localFile, SqliteRecordStore::Mode::kExisting)
            .SpoolCount(target.server->name);
    }

    static bool WaitFor(const std::function<bool()>& done) {
        return test::WaitUntil(
            done, [] { std::this_thread::sleep_for(10ms); }, 30s);
    }

    std::vector<std::string> Warnings() {
        std::lock_guard lock(mutex);
        return warnings;
    }
    std::vector<std::string> Notices() {
        std::lock_guard lock(mutex);
        return notices;
    }

    test::TempDir dir;
    const std::string spool = dir.File("station.sqlite");
    test::PrivatePostgres server;
    std::mutex mutex;
    std::vector<std::string> warnings;
    std::vector<std::string> notices;
};

std::set<std::string> Ids(const std::string& station, int count) {
    std::set<std::string> ids;
    for (int number = 0; number < count; ++number) {
        ids.insert(test::SampleRecord(number, station).id);
    }
    return ids;
}

TEST_F(ServerSpool, TwoStationsAtOnceEachUnitArrivesOnce) {
    constexpr int kEach = 40;
    std::vector<std::unique_ptr<test::ChildProcess>> stations;
    for (const std::string station : {"station-a", "station-b"}) {
        stations.push_back(std::make_unique<test::ChildProcess>(std::vector<std::string>{
            VANTREL_RECORD_WRITER_PATH, server.Url(), dir.File(station + ".sqlite"), station,
            std::to_string(kEach)}));
    }
    for (auto& station : stations) {
        EXPECT_EQ(station->Wait(60s), 0) << station->Err();
    }
    std::set<std::string> expected = Ids("station-a", kEach);
    expected.merge(Ids("station-b", kEach));
    EXPECT_EQ(OnServer(), expected);
    for (const std::string station : {"station-a", "station-b"}) {
        const RecordTarget target = Target(server.Url(), dir.File(station + ".sqlite"));
        EXPECT_EQ(Spooled(target), 0u) << station;
        EXPECT_EQ(SqliteRecordStore(target.localFile).Latest({}).size(), std::size_t{kEach})
            << station << " keeps its own copy";
    }
}

TEST_F(ServerSpool, ServerStoppedInTheMiddleSpoolsAndSendsOnceBack) {
    const RecordTarget target = Target(server.Url(), spool);
    auto recorder = OpenRecorder(target);
    ASSERT_TRUE(recorder);
    for (int number = 0; number < 5; ++number) {
        recorder->Record(test::SampleRecord(number));
    }
    ASSERT_TRUE(recorder->Flush(30s));
    EXPECT_EQ(OnServer(), Ids("station-a", 5));

    server.Stop();
    for (int number = 5; number < 10; ++number) {
        EXPECT_TRUE(recorder->Record(test::SampleRecord(number)));
    }
    EXPECT_TRUE(WaitFor([&] { return Spooled(target) == 5 && !Warnings().empty(); }))
        << Spooled(target);
    EXPECT_TRUE(recorder->Status().serverUnreachable);
    EXPECT_EQ(Warnings().size(), 1u);
    EXPECT_NE(Warnings().front().find(target.server->name), std::string::npos) << Warnings()[0];
    EXPECT_NE(Warnings().front().find("kept in " + spool), std::string::npos) << Warnings()[0];
    EXPECT_EQ(SqliteRecordStore(spool).Latest({}).size(), 10u);

    server.Start();
    EXPECT_TRUE(WaitFor([&] { return Spooled(target) == 0; }));
    EXPECT_EQ(OnServer(), Ids("station-a", 10));
    EXPECT_TRUE(recorder->Flush(30s));
    const RecorderProgress progress = recorder->Close(5s);
    EXPECT_EQ(progress.spooled, 0u);
    EXPECT_EQ(progress.sent, 10u);
    EXPECT_FALSE(progress.serverUnreachable);
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_NE(Notices()[0].find("reached again"), std::string::npos) << Notices()[0];
}

TEST_F(ServerSpool, ServerThatDoesNotExistWarnsOnceAndSpools) {
    const RecordTarget target = Target(server.AbsentServerUrl(), spool);
    auto recorder = OpenRecorder(target);
    ASSERT_TRUE(recorder);
    for (int number = 0; number < 3; ++number) {
        EXPECT_TRUE(recorder->Record(test::SampleRecord(number)));
    }
    EXPECT_TRUE(WaitFor([&] { return Spooled(target) == 3 && !Warnings().empty(); }));
    // Several tries at a 20 ms interval; still the one warning.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Warnings().size(), 1u);
    EXPECT_NE(Warnings()[0].find("cannot reach the record server"), std::string::npos)
        << Warnings()[0];
    const RecorderProgress progress = recorder->Close(0ms);
    EXPECT_EQ(progress.waiting, 0u);
    EXPECT_EQ(progress.spooled, 3u);
    EXPECT_TRUE(progress.serverUnreachable);
}

TEST_F(ServerSpool, SpoolOfAnEarlierRunIsSentToItsServerOnly) {
    const RecordTarget target = Target(server.Url(), spool);
    const RecordTarget elsewhere = Target(server.AbsentServerUrl(), spool);
    server.Stop();
    {
        auto earlier = OpenRecorder(target);
        auto other = OpenRecorder(elsewhere);
        ASSERT_TRUE(earlier && other);
        for (int number = 0; number < 3; ++number) {
            earlier->Record(test::SampleRecord(number));
        }
        other->Record(test::SampleRecord(0, "elsewhere"));
        EXPECT_TRUE(WaitFor([&] { return Spooled(target) == 3 && Spooled(elsewhere) == 1; }));
        EXPECT_EQ(earlier->Close(0ms).spooled, 3u);
        other->Close(0ms);
    }
    server.Start();
    auto later = OpenRecorder(target);
    ASSERT_TRUE(later);
    EXPECT_TRUE(later->Flush(30s));
    EXPECT_EQ(OnServer(), Ids("station-a", 3));
    EXPECT_EQ(Spooled(target), 0u);
    EXPECT_EQ(Spooled(elsewhere), 1u) << "another server's units wait for that server";
}

TEST_F(ServerSpool, ASpooledUnitOfANewerVersionStaysAsideAndTheOthersGoOn) {
    const RecordTarget target = Target(server.Url(), spool);
    {
        SqliteRecordStore file(spool);
        for (int number = 0; number < 4; ++number) {
            file.WriteAndSpool(test::SampleRecord(number), target.server->name);
        }
    }
    const std::string newer = test::SampleRecord(1).id;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(spool.c_str(), &db), SQLITE_OK);
        const std::string sql =
            "UPDATE units SET outcome = 'verified twice' WHERE id = '" + newer + "'";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    auto recorder = OpenRecorder(target);
    ASSERT_TRUE(recorder);
    recorder->Record(test::SampleRecord(4));
    EXPECT_TRUE(recorder->Flush(30s));
    std::set<std::string> others = Ids("station-a", 5);
    others.erase(newer);
    EXPECT_EQ(OnServer(), others);
    const RecorderProgress progress = recorder->Close(5s);
    EXPECT_EQ(progress.unreadable, 1u);
    EXPECT_EQ(progress.spooled, 0u);
    ASSERT_EQ(Warnings().size(), 1u);
    EXPECT_NE(Warnings()[0].find(newer), std::string::npos) << Warnings()[0];
    EXPECT_NE(Warnings()[0].find("verified twice"), std::string::npos) << Warnings()[0];
    EXPECT_EQ(Spooled(target), 1u) << "kept for a version that can send it";

    test::ChildProcess listing({VANTREL_RECORDS_PATH, "--record", spool, "--json"});
    EXPECT_EQ(listing.Wait(30s), 0) << listing.Err();
    EXPECT_EQ(test::ParseJson(listing.Out()).size(), 4u) << listing.Out();
    EXPECT_NE(listing.Err().find("1 records left out"), std::string::npos) << listing.Err();
}

}  // namespace
}  // namespace vantrel
