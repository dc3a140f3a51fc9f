// vantrel-station on a terminal: one row per port, redrawn in place.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include "tests/support/image_maker.h"
#include "tests/support/pty_child.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/terminal_screen.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> ScreenOf(const std::string& output) {
    test::TerminalScreen screen;
    screen.Feed(output);
    return screen.Lines();
}

bool Has(const std::string& line, std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        if (line.find(text) == std::string::npos) {
            return false;
        }
    }
    return true;
}

TEST(StationDashboard, RowsAreRedrawnInPlaceOnATerminal) {
    test::TempDir dir;
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
    PeerOptions quick = test::InstantOptions();
    quick.bench = true;
    quick.announceInterval = 200ms;
    PeerOptions slow = quick;
    slow.pacingBaud = 9600;  // about a second a block
    test::StandIn fast(quick, 1), paced(slow, 2);
    fast.Run();
    paced.Run();

    test::PtyChild station({VANTREL_STATION_PATH, image, fast.Path(), paced.Path()}, 160, 40);
    // The quick unit done while the paced one is still under way, three
    // blocks in: two port rows and the total, however many redraws it took.
    const bool midway = station.ReadUntil(
        [&](const std::string& output) {
            const auto lines = ScreenOf(output);
            return lines.size() == 3 && Has(lines[0], {"done", "65/65", "100%"}) &&
                   Has(lines[1], {"updating", "/65", "kB/s", "left"}) &&
                   paced.Progress().counters.blocksAccepted >= 3;
        },
        60s);
    ASSERT_TRUE(midway) << station.Output();
    const auto rows = ScreenOf(station.Output());
    EXPECT_EQ(rows[0].rfind(fast.Path(), 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind(paced.Path(), 0), 0u) << rows[1];
    EXPECT_TRUE(Has(rows[2], {"total", "2 ports", "1 updating"})) << rows[2];

    station.Signal(SIGINT);
    EXPECT_EQ(station.Wait(30s), 1) << "a unit was cancelled";
    const auto end = ScreenOf(station.Output());
    ASSERT_GE(end.size(), 6u) << station.Output();
    EXPECT_TRUE(Has(end[1], {"cancelled", "(CNL sent)"})) << end[1];
    EXPECT_TRUE(Has(end[3], {"PORT", "COMPLETED"})) << "the summary below the rows";
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace vantrel
