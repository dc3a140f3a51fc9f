#include "records/unit_summary.h"

#include <cstdio>
#include <filesystem>

#include "protocol/blocks.h"

namespace vantrel {
namespace {

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Resent(std::uint32_t frames) {
    if (frames == 0) {
        return "no frame sent again";
    }
    return std::to_string(frames) + (frames == 1 ? " frame" : " frames") + " sent again";
}

std::string Where(const UnitRecord& unit) {
    return unit.device.empty() || unit.device == unit.portLabel
               ? unit.portLabel
               : unit.portLabel + " (" + unit.device + ")";
}

std::string Completed(const UnitRecord& unit) {
    const double bytes = static_cast<double>(unit.blocksAcknowledged) * kBlockSize;
    std::string line = "updated " + Where(unit) + " with " +
                       std::filesystem::path(unit.imagePath).filename().string() + ": " +
                       std::to_string(unit.blocksAcknowledged) + " blocks in " +
                       Fixed(unit.seconds) + " s, ";
    if (unit.seconds > 0) {
        line += Fixed(bytes / unit.seconds / 1000) + " kB/s, ";
    }
    return line + Resent(unit.framesSentAgain);
}

}  // namespace

std::string UnitSummaryLine(const UnitRecord& unit) {
    switch (unit.outcome) {
        case UnitOutcome::kCompleted:
            return Completed(unit);
        case UnitOutcome::kCancelled:
            return unit.reason;
        case UnitOutcome::kLineLost:
            return "failed at block " + std::to_string(unit.blocksAcknowledged) + " of " +
                   std::to_string(unit.blocksInImage) + ": the line was lost";
        case UnitOutcome::kTimedOut:
            return "timed out: " + unit.reason;
        case UnitOutcome::kReadbackIncomplete:
            return "readback incomplete: " + unit.reason;
        case UnitOutcome::kFailed:
            break;
    }
    return "failed: " + unit.reason;
}

}  // namespace vantrel
