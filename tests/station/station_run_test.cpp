// Stations of real stand-ins on pseudo-terminals: what each port's unit
// came to, what the station printed, and Cancel across ports.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

#include "engine/image_file.h"
#include "records/unit_recorder.h"
#include "station/station.h"
#include "tests/station/recorded_units.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Frame = FrameSelector::Frame;

constexpr std::uint32_t kLoadBlocks = 65;

// A box that announces itself again until the tool answers, so a port that
// presses Start a little late still sees BOOT.
PeerOptions Box() {
    PeerOptions options = test::InstantOptions();
    options.bench = true;
    options.announceInterval = 200ms;
    return options;
}

class StationRun : public ::testing::Test {
  protected:
    PortRunnerConfig Port(std::string label, int number, std::optional<std::string> device) {
        PortRunnerConfig port;
        port.label = std::move(label);
        port.portNumber = number;
        if (device) {
            port.device = GivenDevice{number, *device, DeviceSource::kStationArgument};
        }
        port.image = ImageChoice::Of(image, kImageLoad);
        port.reopenInterval = 100ms;
        port.unitTemplate.imageKind = "LOAD";
        port.unitTemplate.imageSha256 = std::string(64, 'a');
        return port;
    }

    // Runs the station with its output in memory, each unit kept in `units`
    // and given to `recorder` when there is one; `stop` is asked as the
    // station asks for a signal, and once true cancels the units under way.
    int Run(
        StationConfig config, const std::function<bool()>& stop = [] { return false; },
        UnitRecorder* recorder = nullptr) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* stream = open_memstream(&buffer, &size);
        Station station(std::move(config), stream, [&](const UnitRecord& unit) {
            units[unit.portLabel].push_back(unit);
            ++unitsEnded;
            if (recorder != nullptr) {
                recorder->Record(unit);
            }
        });
        const int status =
            station.Run([&] { return stop() ? StopStep::kCancelUnderWay : StopStep::kNone; });
        std::fclose(stream);
        out.assign(buffer, size);
        std::free(buffer);
        return status;
    }

    test::TempDir dir;
    const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
    std::map<std::string, std::vector<UnitRecord>> units;
    std::atomic<std::size_t> unitsEnded = 0;  // for threads other than the station's
    std::string out;
};

TEST_F(StationRun, FourPortsEachWithItsOwnFaultEndEachInTheirOwnWay) {
    PeerOptions storm = Box();
    storm.nakProbability = 0.3;
    PeerOptions vanishing = Box();
    vanishing.vanishFrames = {{Frame::kBlock, 20}};
    PeerOptions refusing = Box();
    refusing.nakFrames = {{Frame::kModuleEnd, 0}};
    test::StandIn clean(Box(), 1), stormy(storm, 2), vanish(vanishing, 3), refuse(refusing, 4);
    for (test::StandIn* box : {&clean, &stormy, &vanish, &refuse}) {
        box->Run();
    }
    StationConfig config;
    config.ports = {Port("PORT 1", 1, std::nullopt), Port("PORT 2", 2, std::nullopt),
                    Port(vanish.Path(), 1, vanish.Path()), Port(refuse.Path(), 1, refuse.Path())};
    const std::string recordFile = (dir.Path() / "records.sqlite").string();
    auto recorder = UnitRecorder::Open(RecordTarget{recordFile, std::nullopt});
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<UnitRecorder>>(recorder));
    auto& store = *std::get<std::unique_ptr<UnitRecorder>>(recorder);
    EXPECT_EQ(Run(
                  config, [] { return false; }, &store),
              1)
        << out;
    ASSERT_TRUE(store.Flush(10s));
    std::map<std::string, nlohmann::json> listed = test::RecordedUnits(recordFile);
    const std::uint64_t naks = stormy.Finish(true).counters.naksSent;
    ASSERT_GT(naks, 0u);

    const struct {
        std::string label;
        UnitOutcome outcome;
        std::uint32_t acknowledged;
        std::uint64_t sentAgain;
        std::string reason;
    } cases[] = {
        {"PORT 1", UnitOutcome::kCompleted, kLoadBlocks, 0, "updated: 65 blocks"},
        {"PORT 2", UnitOutcome::kCompleted, kLoadBlocks, naks, "updated: 65 blocks"},
        {vanish.Path(), UnitOutcome::kLineLost, 20, 0, "the line was lost at block 20 of 65: "},
        {refuse.Path(), UnitOutcome::kFailed, kLoadBlocks, 0, "the box refused the module end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(units[c.label].size(), 1u);
        const UnitRecord& unit = units[c.label][0];
        EXPECT_EQ(unit.outcome, c.outcome);
        EXPECT_EQ(unit.blocksInImage, kLoadBlocks);
        EXPECT_EQ(unit.blocksAcknowledged, c.acknowledged);
        EXPECT_EQ(unit.framesSentAgain, c.sentAgain);
        EXPECT_EQ(unit.reason.rfind(c.reason, 0), 0u) << unit.reason;
        EXPECT_EQ(unit.imageKind, "LOAD");
        EXPECT_EQ(unit.id.size(), 36u);
        EXPECT_NE(unit.log.find("BOOT"), std::string::npos) << "the unit's own log";
        EXPECT_LE(unit.start, unit.end);
        // The record as read back is the unit as it ended.
        const nlohmann::json& stored = listed[c.label];
        EXPECT_EQ(stored.value("id", ""), unit.id);
        EXPECT_EQ(stored.value("outcome", ""), OutcomeName(c.outcome));
        EXPECT_EQ(stored.value("blocks_acknowledged", 0u), c.acknowledged);
        EXPECT_EQ(stored.value("frames_sent_again", std::uint64_t{0}), c.sentAgain);
        EXPECT_EQ(stored.value("reason", ""), unit.reason);
        // Without a byte per block in the output: one line per event.
        EXPECT_NE(out.find(c.label + ": opened "), std::string::npos) << out;
        EXPECT_NE(out.find(c.label + ": BOOT on "), std::string::npos) << out;
        EXPECT_NE(out.find(c.label + ": " + std::string(OutcomeName(c.outcome))), std::string::npos)
            << out;
    }
    EXPECT_NE(units[vanish.Path()][0].reason.find(vanish.Path()), std::string::npos)
        << "the loss names the device";
    EXPECT_NE(units["PORT 1"][0].id, units["PORT 2"][0].id);
    EXPECT_EQ(listed.size(), 4u) << "one record per unit";
    // Each event line begins with its UTC time; the summary follows them.
    std::istringstream lines(out.substr(0, out.find("PORT      DEVICE")));
    const auto timed = [](const std::string& line) {
        constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ ";
        if (line.size() <= kShape.size() || line[kShape.size()] == ' ') {
            return false;
        }
        for (std::size_t at = 0; at < kShape.size(); ++at) {
            const bool fits = kShape[at] == 'd'
                                  ? std::isdigit(static_cast<unsigned char>(line[at])) != 0
                                  : line[at] == kShape[at];
            if (!fits) {
                return false;
            }
        }
        return true;
    };
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(timed(line)) << line;
    }
}

TEST_F(StationRun, ALoopUpdatesBoxAfterBoxOnOnePort) {
    PeerOptions options = Box();
    // Time enough after each unit for the test to end the line before the
    // next box would announce itself.
    options.bootDelay = 1000ms;
    test::StandIn box(options, 1);
    box.Run();
    StationConfig config;
    config.loop = true;
    config.ports = {Port(box.Path(), 1, box.Path())};
    // The line ends well within the second the box waits after its third
    // unit, however slowly the station looks at its stop request. The box
    // counts an update before its last answer is on the line, so the line
    // ends only once the station has seen that unit end.
    std::atomic<bool> boxGone = false;
    std::thread lineEnd([&] {
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        while (unitsEnded < 3 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(5ms);
        }
        box.Finish(true);
        boxGone = true;
    });
    Run(config, [&] { return boxGone && units[box.Path()].size() >= 3; });
    lineEnd.join();
    ASSERT_EQ(units[box.Path()].size(), 3u) << out;
    for (const UnitRecord& unit : units[box.Path()]) {
        EXPECT_EQ(unit.outcome, UnitOutcome::kCompleted) << unit.reason;
    }
    EXPECT_NE(out.find(box.Path() + ": line lost: "), std::string::npos)
        << "the end of the line is told, but is no unit:\n"
        << out;
}

TEST_F(StationRun, ABoxThatStartsAgainFailsItsUnitAndIsUpdatedAgainAsTheNext) {
    PeerOptions options = test::InstantOptions();
    // Not a bench box: it says BOOT once at the open, time enough after it
    // for Start, and once more when it starts again, never after that.
    options.bootDelay = 500ms;
    options.restartFrames = {{Frame::kBlock, 20}};
    test::StandIn box(options, 1);
    box.Run();
    StationConfig config;
    config.loop = true;
    config.ports = {Port(box.Path(), 1, box.Path())};
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    Run(config, [&] { return unitsEnded >= 2 || std::chrono::steady_clock::now() > giveUp; });
    const std::vector<UnitRecord>& ended = units[box.Path()];
    ASSERT_EQ(ended.size(), 2u) << out;
    EXPECT_EQ(ended[0].outcome, UnitOutcome::kFailed);
    EXPECT_EQ(ended[0].reason, "the box started again at block 20 of 65");
    EXPECT_EQ(ended[1].outcome, UnitOutcome::kCompleted) << ended[1].reason;
    const RunResult result = box.Finish(true);
    EXPECT_EQ(result.counters.updatesVerified, 1u) << "the box got the whole image after all";
}

TEST_F(StationRun, CancelSendsCnlOnlyFromPortsInBlockTransfer) {
    PeerOptions silent = Box();
    silent.bootDelay = 60s;
    silent.announceInterval = 60s;
    PeerOptions slow = Box();
    slow.pacingBaud = 9600;  // about a second a block
    PeerOptions refusing = Box();
    refusing.nakFrames = {{Frame::kModuleEnd, 0}};
    test::StandIn waiting(silent, 1), transferring(slow, 2), done(Box(), 3), failed(refusing, 4);
    for (test::StandIn* box : {&waiting, &transferring, &done, &failed}) {
        box->Run();
    }
    StationConfig config;
    config.ports = {Port("PORT 1", 1, std::nullopt), Port("PORT 2", 2, std::nullopt),
                    Port("PORT 3", 3, std::nullopt), Port("PORT 4", 4, std::nullopt)};
    EXPECT_EQ(Run(config,
                  [&] {
                      return units["PORT 3"].size() == 1 && units["PORT 4"].size() == 1 &&
                             transferring.Progress().counters.blocksAccepted >= 2;
                  }),
              1)
        << out;
    EXPECT_EQ(transferring.Finish(true).counters.updatesCancelled, 1u) << "CNL in block transfer";
    for (test::StandIn* box : {&waiting, &done, &failed}) {
        EXPECT_EQ(box->Finish(true).counters.updatesCancelled, 0u);
    }
    ASSERT_EQ(units["PORT 1"].size(), 1u);
    EXPECT_EQ(units["PORT 1"][0].outcome, UnitOutcome::kCancelled);
    EXPECT_EQ(units["PORT 1"][0].reason, "cancelled at block 0 of 65") << "no CNL while waiting";
    ASSERT_EQ(units["PORT 2"].size(), 1u);
    EXPECT_EQ(units["PORT 2"][0].outcome, UnitOutcome::kCancelled);
    EXPECT_NE(units["PORT 2"][0].reason.find(" (CNL sent)"), std::string::npos);
    EXPECT_EQ(units["PORT 3"][0].outcome, UnitOutcome::kCompleted);
    EXPECT_EQ(units["PORT 4"][0].outcome, UnitOutcome::kFailed);
}

}  // namespace
}  // namespace vantrel
