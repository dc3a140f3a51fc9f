// Two stations of a line, each vantrel-station in a process of its own,
// recording onto one PostgreSQL server of the test's own, which stops in
// the middle of their shift and comes back.
#include <gtest/gtest.h>
#include <signal.h>

#include <set>

#include "records/postgres_record_store.h"
#include "records/record_target.h"
#include "records/sqlite_record_store.h"
#include "tests/records/private_postgres.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// The program retries the server every 5 s: time for a few retries.
constexpr auto kServerLimit = 30s;

std::set<std::string> Ids(const std::vector<UnitRecord>& records) {
    std::set<std::string> ids;
    for (const UnitRecord& record : records) {
        ids.insert(record.id);
    }
    return ids;
}

// One station: its own stand-in box serving one unit after another, and
// its own home, so its own local record file, as on a machine of its own.
struct LineStation {
    LineStation(const test::TempDir& dir, const std::string& name, const std::string& url,
                const std::string& image)
        : home((dir.Path() / name).string()), box(Boxes()) {
        box.Run();
        process = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/env", "XDG_DATA_HOME=" + home, VANTREL_STATION_PATH,
                                     "--loop", "--quiet", "--record", url, image, box.Path()});
    }

    static PeerOptions Boxes() {
        PeerOptions options = test::InstantOptions();
        options.bench = true;
        options.announceInterval = 200ms;
        options.bootDelay = 300ms;
        return options;
    }

    std::vector<UnitRecord> Local() {
        SqliteRecordStore file(home + "/vantrel/records.sqlite",
                               SqliteRecordStore::Mode::kExisting);
        return file.Latest({});
    }

    std::size_t Spooled(const std::string& serverName) {
        SqliteRecordStore file(home + "/vantrel/records.sqlite",
                               SqliteRecordStore::Mode::kExisting);
        return file.SpoolCount(serverName);
    }

    std::string home;
    test::StandIn box;
    std::unique_ptr<test::ChildProcess> process;
};

TEST(StationsOnAServer, RecordsSpoolWhileTheServerIsDownAndArriveWhenItIsBack) {
    test::TempDir dir;
    test::PrivatePostgres server;
    // Only the server part is used: which spool is its.
    const auto target = ParseRecordTarget(server.Url(), "unused.sqlite");
    ASSERT_TRUE(std::holds_alternative<RecordTarget>(target));
    const RecordServer& onServer = *std::get<RecordTarget>(target).server;
    const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
    LineStation first(dir, "first", server.Url(), image);
    LineStation second(dir, "second", server.Url(), image);
    LineStation* stations[] = {&first, &second};

    // The server's units of one station (it ran on its box's device).
    const auto serverUnits = [&](LineStation& station) {
        PostgresRecordStore store(onServer, PostgresRecordStore::Mode::kExisting);
        RecordFilter filter;
        filter.port = station.box.Path();
        return store.Latest(filter);
    };
    for (LineStation* station : stations) {
        ASSERT_TRUE(station->process->WaitFor([&] { return serverUnits(*station).size() >= 2; },
                                              kServerLimit))
            << station->process->Err();
    }

    server.Stop();
    std::map<LineStation*, std::size_t> before;
    for (LineStation* station : stations) {
        before[station] = station->Local().size();
        // Updates go on without the server, each unit kept for it.
        ASSERT_TRUE(station->process->WaitFor(
            [&] {
                return station->Local().size() >= before[station] + 2 &&
                       station->Spooled(onServer.name) >= 2;
            },
            kServerLimit))
            << station->process->Err();
        EXPECT_NE(station->process->Err().find("warning: "), std::string::npos)
            << "the operator is told once that the server is away";
    }

    server.Start();
    for (LineStation* station : stations) {
        ASSERT_TRUE(station->process->WaitFor([&] { return station->Spooled(onServer.name) == 0; },
                                              kServerLimit))
            << station->process->Err();
    }
    for (LineStation* station : stations) {
        station->process->Signal(SIGINT);
        const std::optional<int> status = station->process->Wait(20s);
        ASSERT_TRUE(status.has_value());
        EXPECT_LE(*status, 1) << station->process->Err();
        // Every unit of the shift is on the server, and only once.
        const std::vector<UnitRecord> local = station->Local();
        const std::vector<UnitRecord> shared = serverUnits(*station);
        EXPECT_EQ(Ids(shared), Ids(local));
        EXPECT_EQ(shared.size(), local.size());
        EXPECT_GT(local.size(), before[station]);
        EXPECT_EQ(station->Spooled(onServer.name), 0u);
    }
}

}  // namespace
}  // namespace vantrel
