#include "station/dashboard.h"

#include <gtest/gtest.h>

#include "station/readback_naming.h"
#include "text/display_width.h"

namespace vantrel {
namespace {

PortSnapshot Port(PortPhase phase, std::uint32_t done, std::uint32_t total, double seconds) {
    PortSnapshot port;
    port.label = "PORT 1";
    port.device = "/dev/ttyUSB0";
    port.phase = phase;
    port.blocksDone = done;
    port.blocksTotal = total;
    port.secondsSinceBoot = seconds;
    return port;
}

TEST(DashboardRows, EachPortShowsItsPhaseProgressRateAndTimeLeft) {
    PortSnapshot failed = Port(PortPhase::kFailed, 65, 65, 2);
    failed.reason = "the box refused the module end";
    PortSnapshot lost = Port(PortPhase::kLineLost, 3, 65, 1);
    lost.reason = "the box said \x1b]0;owned\x07";
    PortSnapshot again = Port(PortPhase::kUpdating, 321, 577, 30);
    again.framesSentAgain = 3;
    const struct {
        const char* what;
        PortSnapshot port;
        std::vector<const char*> shown;
        std::vector<const char*> notShown;
    } cases[] = {
        {"updating",
         again,
         {"PORT 1", "/dev/ttyUSB0", "updating", "[###########---------]", "321/577", " 56%",
          "11.0 kB/s", "0:24 left", "again 3"},
         {"done "}},
        {"waiting",
         Port(PortPhase::kWaitingBoot, 0, 65, 0),
         {"waiting for BOOT", " 0/65"},
         {"left"}},
        {"failed",
         failed,
         {"failed", "[####################]", "100%", failed.reason.c_str()},
         {"left"}},
        {"the box's control characters, escaped",
         lost,
         {"the box said \\x1b]0;owned\\x07"},
         {"\x1b", "\x07"}},
        {"no block yet: no time left to tell",
         Port(PortPhase::kUpdating, 0, 65, 1),
         {"  0%"},
         {"left"}},
    };
    for (const auto& c : cases) {
        const auto rows = DashboardRows({c.port}, false, 200);
        ASSERT_EQ(rows.size(), 2u) << c.what;
        for (const char* text : c.shown) {
            EXPECT_NE(rows[0].find(text), std::string::npos) << c.what << ": " << text << " in\n"
                                                             << rows[0];
        }
        for (const char* text : c.notShown) {
            EXPECT_EQ(rows[0].find(text), std::string::npos) << c.what << ": " << text << " in\n"
                                                             << rows[0];
        }
    }
}

TEST(DashboardRows, TotalRowAddsUpThePortsAndALoopCountsUnits) {
    PortSnapshot first = Port(PortPhase::kUpdating, 10, 65, 1);
    first.units.done = 2;
    PortSnapshot second = Port(PortPhase::kDone, 65, 65, 5);
    second.label = "PORT 2";
    second.units.done = 1;
    second.units.failed = 1;
    second.units.stopped = 2;
    const auto rows = DashboardRows({first, second}, true, 200);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[0].find("done 2 failed 0"), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("done 1 failed 1 stopped 2"), std::string::npos) << rows[1];
    EXPECT_EQ(rows[2].rfind("total", 0), 0u);
    for (const char* text :
         {"2 ports", "1 updating", "75/130 blocks", "10.2 kB/s", "done 3 failed 1 stopped 2"}) {
        EXPECT_NE(rows[2].find(text), std::string::npos) << text << " in\n" << rows[2];
    }
}

TEST(DashboardRows, RowsFitTheTerminalWithoutBreakingACharacter) {
    PortSnapshot port = Port(PortPhase::kFailed, 1, 2, 1);
    port.reason = std::string(300, 'x');
    port.device = "/dev/serial/by-id/usb-\xc3\xa9\xc3\xa9\xc3\xa9";
    for (const std::size_t width : {std::size_t{40}, std::size_t{23}, std::size_t{80}}) {
        for (const std::string& row : DashboardRows({port}, false, width)) {
            EXPECT_LE(DisplayWidth(row), width);
            // A cut never leaves the lead byte of a character without its tail.
            const unsigned char last = static_cast<unsigned char>(row.back());
            EXPECT_FALSE(last >= 0xC0) << width << ": " << row;
        }
    }
}

TEST(RedrawSequence, GoesBackOverTheRowsShownAndClearsEachLine) {
    EXPECT_EQ(RedrawSequence(0, {"a", "b"}), "\x1b[2Ka\n\x1b[2Kb\n");
    EXPECT_EQ(RedrawSequence(2, {"c", "d"}), "\r\x1b[2A\x1b[2Kc\n\x1b[2Kd\n");
    EXPECT_EQ(RedrawSequence(3, {"e"}), "\r\x1b[3A\x1b[2Ke\n\x1b[2K\n\x1b[2K\n");
}

TEST(ReadbackFileName, NamesThePortAndTheStartToTheMillisecond) {
    const auto start = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(1796795100123));  // 2026-12-09T05:45:00.123Z
    const struct {
        const char* label;
        const char* name;
    } cases[] = {
        {"PORT 1", "PORT_1-20261209T054500.123Z.bin"},
        {"/dev/serial/by-id/usb-FTDI_A1-if00",
         "dev_serial_by_id_usb_FTDI_A1_if00-20261209T054500.123Z.bin"},
        {"../..", "port-20261209T054500.123Z.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadbackFileName(c.label, start), c.name);
    }
}

}  // namespace
}  // namespace vantrel
