// Both station front ends run their slots on one line: an image replaced
// while a box is being updated halts every slot, on a terminal as in the
// window, also one that waits for a box that has not come.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "engine/image_digest.h"
#include "engine/image_file.h"
#include "station/qt/station_window.h"
#include "station/station.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

std::string DigestOf(const std::string& bytes) {
    return Sha256Hex({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

// Another box after each, each unit long enough to replace the file in it.
PeerOptions BenchBox() {
    PeerOptions options = test::InstantOptions();
    options.bench = true;
    options.announceInterval = 200ms;
    options.pacingBaud = 460800;
    return options;
}

using Replace = std::function<void()>;
using Check = std::function<void(const StationLine&)>;

// Runs a front end's line over `ports` until every slot has ended, calling
// `replace` once a unit is under way, and `check` with the line as it ended.
struct HaltCase {
    const char* frontEnd;
    void (*run)(std::vector<PortRunnerConfig> ports, const Replace& replace, const Check& check);
};

void RunOnATerminal(std::vector<PortRunnerConfig> ports, const Replace& replace,
                    const Check& check) {
    std::FILE* out = std::tmpfile();
    StationConfig config;
    config.ports = std::move(ports);
    config.loop = true;
    config.output = StationOutput::kQuiet;
    Station station(std::move(config), out, [](const UnitRecord&) {});
    // A slot that is not halted would wait for its box for ever: cancelled
    // after a while, so that the check tells.
    const auto giveUp = std::chrono::steady_clock::now() + 40s;
    std::thread running([&] {
        station.Run([&] {
            return std::chrono::steady_clock::now() < giveUp ? StopStep::kNone
                                                             : StopStep::kCancelUnderWay;
        });
    });
    const bool underWay = test::WaitUntil([&] { return !station.UnderWay().Names().empty(); },
                                          [] { std::this_thread::sleep_for(5ms); }, 20s);
    replace();
    running.join();
    std::fclose(out);
    ASSERT_TRUE(underWay);
    check(station.Line());
}

void RunInTheWindow(std::vector<PortRunnerConfig> ports, const Replace& replace,
                    const Check& check) {
    StationSetup setup;
    setup.config.ports = std::move(ports);
    StationWindow window(setup, {});
    window.StartAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.UnderWay().Names().empty(); }, 20'000));
    replace();
    const StationLine& line = window.Line();
    const bool ended = QTest::qWaitFor(
        [&] {
            for (std::size_t slot = 0; slot < line.Size(); ++slot) {
                if (line.Running(slot)) {
                    return false;
                }
            }
            return true;
        },
        40'000);
    EXPECT_TRUE(ended) << "a slot was not halted";
    // What the ports told before they ended is still queued for this thread.
    QTest::qWait(100);
    check(line);
}

TEST(StationImageHalt, EveryFrontEndHaltsEverySlotTheSameWay) {
    const HaltCase cases[] = {{"terminal", RunOnATerminal}, {"window", RunInTheWindow}};
    for (const HaltCase& c : cases) {
        SCOPED_TRACE(c.frontEnd);
        test::TempDir dir;
        const std::string first = test::MakeImageBytes({"LOAD", 66560});
        std::string second = first;
        second.back() ^= 0x5A;  // an image of the same kind that passes every check
        const std::string image = dir.Write("image.bin", first);
        test::StandIn a(BenchBox());
        // A2's box is slow to come: its slot waits.
        PeerOptions slow = BenchBox();
        slow.bootDelay = 1h;
        test::StandIn b(slow);
        a.Run();
        b.Run();
        std::vector<PortRunnerConfig> ports;
        for (const test::StandIn* box : {&a, &b}) {
            PortRunnerConfig port;
            port.label = box == &a ? "A1" : "A2";
            port.device = GivenDevice{1, box->Path(), DeviceSource::kStationArgument};
            port.image = ImageChoice::Of(image, kImageLoad);
            port.pinnedSha256 = DigestOf(first);
            port.unitTemplate.imageSha256 = DigestOf(first);
            ports.push_back(std::move(port));
        }
        c.run(
            std::move(ports),
            [&] {
                // Replaced as an operator's copy would replace it: a new file,
                // renamed over.
                std::filesystem::rename(dir.Write("image.bin.new", second), image);
            },
            [&](const StationLine& line) {
                const std::string& change = line.ImageChange();
                EXPECT_NE(change.find(ShortDigest(DigestOf(second))), std::string::npos) << change;
                EXPECT_NE(change.find(ShortDigest(DigestOf(first))), std::string::npos) << change;
                for (std::size_t slot = 0; slot < line.Size(); ++slot) {
                    const PortSnapshot port = line.Snapshot(slot);
                    EXPECT_EQ(port.phase, PortPhase::kImageChanged) << port.label;
                    EXPECT_EQ(port.reason, change) << port.label;
                }
            });
        // Only the unit under way at the change goes on: the box is sent no
        // second image.
        EXPECT_LE(a.Progress().counters.blocksAccepted, 65u);
    }
}

}  // namespace
}  // namespace vantrel
