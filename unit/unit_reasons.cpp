#include "unit/unit_reasons.h"

#include <cstdio>

namespace vantrel {
namespace {

// The frame the window sends again after each NAK in `state`, as a reason
// names it, and the cause of its refusal; blocks are named by number.
struct ResentFrame {
    const char* name;
    UnitCause cause;
};
const ResentFrame* ResentFrameOf(SessionState state) {
    static constexpr ResentFrame kHandshakeFrame{"the handshake", UnitCause::kHandshakeRefused};
    static constexpr ResentFrame kHeaderFrame{"the module header", UnitCause::kHeaderRefused};
    static constexpr ResentFrame kGlobalEndFrame{"the global end", UnitCause::kGlobalEndRefused};
    switch (state) {
        case kHandshake:
            return &kHandshakeFrame;
        case kModuleHeader:
            return &kHeaderFrame;
        case kGlobalEnd:
            return &kGlobalEndFrame;
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
                unit.cause = UnitCause::kReadbackIncomplete;
                unit.reason = "the box sent back blocks that were not stored (missing: " +
                              end.readbackMissing + ")";
                return;
            }
            unit.outcome = UnitOutcome::kCompleted;
            unit.cause = UnitCause::kCompleted;
            unit.reason = "updated: " + std::to_string(unit.blocksAcknowledged) + " blocks";
            return;
        case SessionEndCause::kModuleEndRefused:
            unit.outcome = UnitOutcome::kFailed;
            unit.cause = UnitCause::kModuleEndRefused;
            unit.reason = "the box refused the module end";
            return;
        case SessionEndCause::kBoxRestarted:
            unit.outcome = UnitOutcome::kFailed;
            unit.cause = UnitCause::kBoxRestarted;
            unit.reason = "the box started again at " + at;
            return;
        case SessionEndCause::kNoModuleToSend:
            unit.outcome = UnitOutcome::kFailed;
            unit.cause = UnitCause::kNoModule;
            unit.reason = "no module was left to send";
            return;
        case SessionEndCause::kCancelled:
            unit.outcome = UnitOutcome::kCancelled;
            unit.cause = UnitCause::kCancelled;
            unit.reason = "cancelled at " + at;
            return;
    }
}

void DescribeTimeout(const StallWatch::Stall& stall, std::chrono::milliseconds limit,
                     UnitRecord& unit) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g s", std::chrono::duration<double>(limit).count());
    const std::string at = BlockText(unit.blocksAcknowledged, unit.blocksInImage);
    unit.outcome = UnitOutcome::kTimedOut;
    if (stall.silent) {
        unit.cause = UnitCause::kBoxSilent;
        unit.reason = "the box sent nothing for " + std::string(seconds) + ", at " + at;
        return;
    }
    const std::string again =
        " again and again (" + std::to_string(stall.framesSentAgain) + " frames sent again)";
    if (stall.framesSentAgain > 0 && stall.state == kBlocks) {
        unit.cause = UnitCause::kBlocksRefused;
        unit.reason = "no block acknowledged for " + std::string(seconds) + ": the box refused " +
                      BlockText(unit.blocksAcknowledged + 1, unit.blocksInImage) + again;
        return;
    }
    const std::string stalled = "no progress for " + std::string(seconds) + ": the box ";
    if (const ResentFrame* frame = ResentFrameOf(stall.state);
        frame != nullptr && stall.framesSentAgain > 0) {
        unit.cause = frame->cause;
        unit.reason = stalled + "refused " + frame->name + again + ", at " + at;
        return;
    }
    unit.cause = UnitCause::kNoProgress;
    unit.reason = stalled + "kept sending, but nothing it sent moved the update on, at " + at;
}

}  // namespace vantrel
