// vantrel-station in a process of its own, against vantrel-boxsim
// processes, ended from outside as a shell ends it: the reader of its
// output goes away (`| head`), Ctrl-C, the terminal closes. Each unit in
// flight ends, with a CNL to a box in block transfer, and is recorded.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>

#include "tests/station/recorded_units.h"
#include "tests/support/box_process.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCnlArrived = "CNL: the tool cancelled the update";

// A stand-in box that announces itself a second after the station opens
// the line, so the station's output can be closed before the unit begins;
// `holdAtBlock3` leaves block 3 unanswered, so the unit stays in block
// transfer.
test::BoxProcess Box(bool holdAtBlock3) {
    std::vector<std::string> argv = {VANTREL_BOXSIM_PATH, "--boot-delay", "1000"};
    if (holdAtBlock3) {
        argv.insert(argv.end(), {"--silent", "block:3"});
    }
    return test::BoxProcess(argv);
}

TEST(StationStop, UnitsInFlightEndAndAreRecordedWhenTheOutputOrTheTerminalGoes) {
    const struct {
        const char* what;
        bool closeOut;  // once both ports are open
        int signal;     // once both boxes hold block 3; 0: none, the units go on
        const char* outcome;
        const char* reason;  // how it begins
        int status;
    } cases[] = {
        {"output closed: the units go on to their end", true, 0, "completed", "updated: 65 blocks",
         0},
        {"output closed, then Ctrl-C", true, SIGINT, "cancelled",
         "cancelled at block 3 of 65 (CNL sent)", 1},
        {"terminal closed", false, SIGHUP, "cancelled", "cancelled at block 3 of 65 (CNL sent)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
        const std::string recordFile = dir.File("records.sqlite");
        const bool cancelled = c.signal != 0;
        test::BoxProcess boxes[] = {Box(cancelled), Box(cancelled)};
        test::ChildProcess station(
            {VANTREL_STATION_PATH, "--record", recordFile, image, boxes[0].path, boxes[1].path});
        ASSERT_TRUE(station.WaitFor(
            [&] {
                return station.Out().find(boxes[0].path + ": opened ") != std::string::npos &&
                       station.Out().find(boxes[1].path + ": opened ") != std::string::npos;
            },
            10s))
            << station.Out() << station.Err();
        if (c.closeOut) {
            station.CloseOut();
        }
        if (cancelled) {
            for (test::BoxProcess& box : boxes) {
                ASSERT_TRUE(box.process->WaitFor(
                    [&] { return box.process->Err().find("left unanswered") != std::string::npos; },
                    20s))
                    << box.process->Err();
            }
            station.Signal(c.signal);
        }
        EXPECT_EQ(station.Wait(30s), c.status) << "not killed by a signal\n" << station.Err();
        EXPECT_EQ(station.Err(), "");

        const std::map<std::string, nlohmann::json> units = test::RecordedUnits(recordFile);
        EXPECT_EQ(units.size(), 2u);
        for (test::BoxProcess& box : boxes) {
            SCOPED_TRACE(box.path);
            ASSERT_TRUE(units.contains(box.path));
            EXPECT_EQ(units.at(box.path).value("outcome", ""), c.outcome);
            EXPECT_TRUE(units.at(box.path).value("reason", "").starts_with(c.reason))
                << units.at(box.path);
            EXPECT_EQ(box.process->Wait(10s), cancelled ? 1 : 0) << box.process->Out();
            EXPECT_EQ(box.process->Err().find(kCnlArrived) != std::string::npos, cancelled)
                << box.process->Err();
            EXPECT_NE(
                box.process->Out().find(cancelled ? "summary: not verified: the tool cancelled"
                                                  : "summary: update verified"),
                std::string::npos)
                << box.process->Out();
        }
    }
}

// The graceful end of a shift: the first Ctrl-C lets the units under way
// finish and takes no new box, though both boxes announce themselves again.
TEST(StationStop, ACtrlCInALoopFinishesTheUnitsUnderWayAndTakesNoNewBox) {
    test::TempDir dir;
    const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
    const std::string recordFile = dir.File("records.sqlite");
    // About six seconds a unit, and a BOOT every 300 ms between units.
    const std::vector<std::string> bench = {
        VANTREL_BOXSIM_PATH, "--bench", "--announce-every", "300", "--baud", "115200"};
    test::BoxProcess boxes[] = {test::BoxProcess(bench), test::BoxProcess(bench)};
    test::ChildProcess station({VANTREL_STATION_PATH, "--loop", "--json", "--record", recordFile,
                                image, boxes[0].path, boxes[1].path});
    const auto count = [&](const std::string& text) {
        std::size_t found = 0;
        for (auto at = station.Out().find(text); at != std::string::npos;
             at = station.Out().find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    ASSERT_TRUE(station.WaitFor([&] { return count(R"("event":"boot")") == 2; }, 20s))
        << station.Out() << station.Err();
    station.Signal(SIGINT);
    EXPECT_EQ(station.Wait(30s), 0) << station.Out() << station.Err();
    EXPECT_EQ(count(R"("event":"finishing")"), 1u) << station.Out();
    EXPECT_EQ(count(R"("event":"boot")"), 2u) << "no new box: " << station.Out();
    EXPECT_EQ(count(R"("counted":"done")"), 2u) << station.Out();

    const std::map<std::string, nlohmann::json> units = test::RecordedUnits(recordFile);
    ASSERT_EQ(units.size(), 2u);
    for (test::BoxProcess& box : boxes) {
        ASSERT_TRUE(units.contains(box.path));
        EXPECT_EQ(units.at(box.path).value("outcome", ""), "completed") << units.at(box.path);
        box.process->Signal(SIGTERM);
        box.process->Wait(10s);
        EXPECT_EQ(box.process->Err().find(kCnlArrived), std::string::npos) << box.process->Err();
    }
}

}  // namespace
}  // namespace vantrel
