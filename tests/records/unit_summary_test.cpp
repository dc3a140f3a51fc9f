#include "records/unit_summary.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

UnitRecord Unit(UnitOutcome outcome, std::uint32_t acknowledged, double seconds,
                std::uint32_t resent, std::string reason) {
    UnitRecord unit;
    unit.portLabel = "PORT 1";
    unit.device = "/dev/ttyUSB0";
    unit.imagePath = "/srv/images/image.bin";
    unit.blocksInImage = 1025;
    unit.blocksAcknowledged = acknowledged;
    unit.framesSentAgain = resent;
    unit.outcome = outcome;
    unit.seconds = seconds;
    unit.reason = std::move(reason);
    return unit;
}

TEST(UnitSummaryLine, SaysHowEachEndingWent) {
    const struct {
        UnitRecord unit;
        std::string line;
    } cases[] = {
        {Unit(UnitOutcome::kCompleted, 1025, 92.9, 3, "updated: 1025 blocks"),
         "updated PORT 1 (/dev/ttyUSB0) with image.bin: 1025 blocks in 92.9 s, 11.3 kB/s, "
         "3 frames sent again"},
        {Unit(UnitOutcome::kCompleted, 1025, 92.9, 1, ""),
         "updated PORT 1 (/dev/ttyUSB0) with image.bin: 1025 blocks in 92.9 s, 11.3 kB/s, "
         "1 frame sent again"},
        {Unit(UnitOutcome::kCompleted, 65, 0, 0, ""),
         "updated PORT 1 (/dev/ttyUSB0) with image.bin: 65 blocks in 0.0 s, no frame sent again"},
        {Unit(UnitOutcome::kCancelled, 42, 3, 0, "cancelled at block 42 of 1025 (CNL sent)"),
         "cancelled at block 42 of 1025 (CNL sent)"},
        {Unit(UnitOutcome::kFailed, 1025, 90, 0, "the box refused the module end"),
         "failed: the box refused the module end"},
        {Unit(UnitOutcome::kLineLost, 20, 9, 0, "the line was lost at block 20 of 1025: gone"),
         "failed at block 20 of 1025: the line was lost"},
        {Unit(UnitOutcome::kTimedOut, 3, 9, 0,
              "the box sent nothing for 0.5 s, at block 3 of 1025"),
         "timed out: the box sent nothing for 0.5 s, at block 3 of 1025"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnitSummaryLine(c.unit), c.line);
    }
    UnitRecord byPath = cases[0].unit;
    byPath.portLabel = byPath.device;
    EXPECT_TRUE(UnitSummaryLine(byPath).starts_with("updated /dev/ttyUSB0 with image.bin:"))
        << "a port given as its device is named once";
}

}  // namespace
}  // namespace vantrel
