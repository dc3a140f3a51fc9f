#include "unit/unit_reasons.h"

#include <cstdio>

namespace vantrel {
namespace {

// The frame the window sends again after each NAK in `state`, as a reason
// names it; blocks are named by number.
const char* ResentFrameName(SessionState state) {
    switch (state) {
        case kHandshake:
            return "the handshake";
        case kModuleHeader:
            return "the module header";
        case kGlobalEnd:
            return "the global end";
        default:
            return nullptr;
    }
}

}  // namespace

std::string BlockText(std::uint32_t done, std::uint32_t total) {
    return "block " + std::to_string(done) + " of " + std::to_string(total);
}

void DescribeSessionEnd(const SessionEnd& end, UnitRecord& unit) {
    const std::string at = BlockText(unit.blocksAcknowledged, unit.blocksInImage);
    switch (end.cause) {
        case SessionEndCause::kCompleted:
            if (!end.readbackMissing.empty()) {
                unit.outcome = UnitOutcome::kReadbackIncomplete;
                unit.reason = "the box sent back blocks that were not stored (missing: " +
                              end.readbackMissing + ")";
                return;
            }
            unit.outcome = UnitOutcome::kCompleted;
            unit.reason = "updated: " + std::to_string(unit.blocksAcknowledged) + " blocks";
            return;
        case SessionEndCause::kModuleEndRefused:
            unit.outcome = UnitOutcome::kFailed;
            unit.reason = "the box refused the module end";
            return;
        case SessionEndCause::kBoxRestarted:
            unit.outcome = UnitOutcome::kFailed;
            unit.reason = "the box started again at " + at;
            return;
        case SessionEndCause::kNoModuleToSend:
            unit.outcome = UnitOutcome::kFailed;
            unit.reason = "no module was left to send";
            return;
        case SessionEndCause::kCancelled:
            unit.outcome = UnitOutcome::kCancelled;
            unit.reason = "cancelled at " + at;
            return;
    }
}

std::string TimeoutReason(const StallWatch::Stall& stall, std::chrono::milliseconds limit,
                          std::uint32_t acknowledged, std::uint32_t total) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g s", std::chrono::duration<double>(limit).count());
    const std::string at = BlockText(acknowledged, total);
    if (stall.silent) {
        return "the box sent nothing for " + std::string(seconds) + ", at " + at;
    }
    const std::string again =
        " again and again (" + std::to_string(stall.framesSentAgain) + " frames sent again)";
    if (stall.framesSentAgain > 0 && stall.state == kBlocks) {
        return "no block acknowledged for " + std::string(seconds) + ": the box refused " +
               BlockText(acknowledged + 1, total) + again;
    }
    const std::string stalled = "no progress for " + std::string(seconds) + ": the box ";
    if (const char* frame = ResentFrameName(stall.state);
        frame != nullptr && stall.framesSentAgain > 0) {
        return stalled + "refused " + frame + again + ", at " + at;
    }
    return stalled + "kept sending, but nothing it sent moved the update on, at " + at;
}

}  // namespace vantrel
