// vantrel-station on a terminal: one row per port, redrawn in place.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/support/box_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_child.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/terminal_screen.h"
#include "text/display_width.h"

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

    // Wide enough for the stand-ins' paths and a whole reason.
    test::PtyChild station({VANTREL_STATION_PATH, image, fast.Path(), paced.Path()}, 200, 40);
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

// What the last drawing put on the screen: the output from the last return
// to the rows' top (or the last clearing of the screen) on.
std::vector<std::string> LastDrawing(const std::string& output) {
    const std::size_t up = output.rfind("\r\x1b[");
    const std::size_t cleared = output.rfind("\x1b[H\x1b[2J");
    std::size_t from = 0;
    for (const std::size_t start : {up, cleared}) {
        if (start != std::string::npos) {
            from = std::max(from, start);
        }
    }
    return ScreenOf(output.substr(from));
}

TEST(StationDashboard, EveryRowKeepsNameStateAndProgressAtAnyWidth) {
    // Adapters' by-id names, which differ only at their ends.
    const std::string byId[] = {"usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0",
                                "usb-FTDI_FT232R_USB_UART_A10K3BR-if00-port0",
                                "usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_4a2b-if00-port0"};
    struct Slot {
        const char* name;   // nothing: the link itself is the PORT
        const char* shown;  // what of its label its row keeps
    };
    const struct {
        const char* what;
        unsigned short columns;
        unsigned short resizedTo;  // 0: not resized
        std::vector<Slot> slots;
    } cases[] = {
        {"80 columns, long paths and a name",
         80,
         0,
         {{nullptr, "A10K3BQ-if00-port0"}, {nullptr, "A10K3BR-if00-port0"}, {"A1", "A1"}}},
        {"80 columns, wide characters in names",
         80,
         0,
         {{"\xe5\xb7\xa5\xe4\xbd\x8d 1 bench 3", "\xe5\xb7\xa5\xe4\xbd\x8d 1 bench 3"},
          {nullptr, "A10K3BR-if00-port0"}}},
        {"200 columns", 200, 0, {{nullptr, "A10K3BQ-if00-port0"}, {"B2", "B2"}}},
        {"200 columns, then 80",
         200,
         80,
         {{nullptr, "A10K3BQ-if00-port0"}, {nullptr, "A10K3BR-if00-port0"}, {"A1", "A1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
        std::filesystem::create_directories(dir.Path() / "by-id");
        std::vector<std::string> argv = {VANTREL_STATION_PATH, "--no-record", image};
        std::vector<test::BoxProcess> boxes;
        std::vector<std::string> links;
        for (std::size_t i = 0; i < c.slots.size(); ++i) {
            // Each box says BOOT once, half a second after the open, and its
            // unit then stays at block 3: its row holds still to be read.
            boxes.emplace_back(std::vector<std::string>{VANTREL_BOXSIM_PATH, "--boot-delay", "500",
                                                        "--silent", "block:3"});
            links.push_back((dir.Path() / "by-id" / byId[i]).string());
            std::filesystem::create_symlink(boxes.back().path, links.back());
            const char* name = c.slots[i].name;
            argv.push_back(name != nullptr ? std::string(name) + "=" + links.back() : links.back());
        }
        const auto drawnAt = [&](std::size_t columns, const std::string& output) {
            const auto rows = LastDrawing(output);
            if (rows.size() != c.slots.size() + 1 || rows.back().rfind("total", 0) != 0) {
                return false;
            }
            for (std::size_t i = 0; i < c.slots.size(); ++i) {
                if (!Has(rows[i], {c.slots[i].shown, "updating", "3/65", "5%"})) {
                    return false;
                }
            }
            return std::all_of(rows.begin(), rows.end(), [&](const std::string& row) {
                return DisplayWidth(row) <= columns;
            });
        };
        test::PtyChild station(argv, c.columns, 40);
        ASSERT_TRUE(station.ReadUntil(
            [&](const std::string& output) { return drawnAt(c.columns, output); }, 60s))
            << station.Output();
        if (c.columns == 200) {
            // Everything fits: the device (a named slot's too), the rate, the
            // frames sent again.
            const auto rows = LastDrawing(station.Output());
            for (std::size_t i = 0; i < c.slots.size(); ++i) {
                const std::string deviceEnd = byId[i].substr(byId[i].size() - 18);
                EXPECT_TRUE(Has(rows[i], {deviceEnd.c_str(), "kB/s", "again 0"})) << rows[i];
            }
        }
        if (c.resizedTo != 0) {
            const std::size_t before = station.Output().size();
            station.Resize(c.resizedTo, 40);
            EXPECT_TRUE(station.ReadUntil(
                [&](const std::string& output) {
                    return output.find("\x1b[2J", before) != std::string::npos &&
                           drawnAt(c.resizedTo, output);
                },
                60s))
                << station.Output().substr(before);
        }
    }
}

}  // namespace
}  // namespace vantrel
