#include "station/unit_tracker.h"

#include <cstdio>

#include "engine/session_end.h"
#include "ports/detected_port.h"
#include "ui/kept_log.h"
#include "ui/updater_dlg.h"

namespace vantrel {
namespace {

double SecondsSince(UnitTracker::SteadyClock::time_point since) {
    return std::chrono::duration<double>(UnitTracker::SteadyClock::now() - since).count();
}

std::string BlockText(std::uint32_t done, std::uint32_t total) {
    return "block " + std::to_string(done) + " of " + std::to_string(total);
}

SessionEnd CancelledEnd() {
    SessionEnd end;
    end.cause = SessionEndCause::kCancelled;
    return end;
}

// A unit that the session itself ended, not this program's Cancel.
void EndedBySession(const SessionEnd& end, const std::string& at, UnitRecord& unit) {
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

// Why a unit timed out: the box fell silent, or it kept answering without
// letting the update move on.
std::string TimeoutReason(const ProgressWatch::Stall& stall, double seconds,
                          std::uint32_t acknowledged, std::uint32_t total) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g s", seconds);
    const std::string at = BlockText(acknowledged, total);
    if (stall.silent) {
        return "the box sent nothing for " + std::string(limit) + ", at " + at;
    }
    const std::string again =
        " again and again (" + std::to_string(stall.framesSentAgain) + " frames sent again)";
    if (stall.framesSentAgain > 0 && stall.state == kBlocks) {
        return "no block acknowledged for " + std::string(limit) + ": the box refused " +
               BlockText(acknowledged + 1, total) + again;
    }
    const std::string stalled = "no progress for " + std::string(limit) + ": the box ";
    if (const char* frame = ResentFrameName(stall.state);
        frame != nullptr && stall.framesSentAgain > 0) {
        return stalled + "refused " + frame + again + ", at " + at;
    }
    return stalled + "kept sending, but nothing it sent moved the update on, at " + at;
}

}  // namespace

UnitTracker::UnitTracker(const CUpdaterDlg& dlg, UnitRecord unit)
    : m_unit(std::move(unit)), m_started(SteadyClock::now()), m_progress(m_started) {
    m_unit.device = dlg.Comm().Device().path;
    if (const DetectedPort* detected = dlg.OpenedDetectedPort()) {
        m_unit.stableName = StableName(*detected);
        m_unit.adapterSerial = detected->serial;
    }
    m_unit.start = UnitRecord::Clock::now();
}

void UnitTracker::Started(const CUpdaterDlg& dlg) {
    // Read now: the slots are emptied when the session ends.
    m_unit.blocksInImage = dlg.Slots().TotalBlocks();
    // The bytes this unit is sent, whatever the file held before.
    m_unit.imageSha256 = dlg.LoadedImageSha256().value_or("");
}

bool UnitTracker::SawBoot(const CUpdaterDlg& dlg) {
    if (m_bootedAt || !dlg.SessionProgress().boxAnnounced) {
        return false;
    }
    m_bootedAt = SteadyClock::now();
    return true;
}

double UnitTracker::SecondsSinceBoot() const {
    return m_bootedAt ? SecondsSince(*m_bootedAt) : 0;
}

bool UnitTracker::TimedOut(const CUpdaterDlg& dlg, double seconds, bool fromBoot) {
    // Watched before the box announces itself too: its BOOT is the progress
    // from which a line idle between boxes counts.
    const auto stall = m_progress.Stalled(dlg, seconds);
    if (!stall || (fromBoot && !Booted())) {
        return false;
    }
    m_timeoutSeconds = seconds;
    m_stall = *stall;
    return true;
}

void UnitTracker::Cancel(CUpdaterDlg& dlg, UnitEnding ending) {
    m_ending = ending;
    m_cancelSent = dlg.Comm().IsConnected() != 0 && dlg.CurrentSessionState() == kBlocks;
    dlg.OnCancelUpdate();
}

UnitRecord UnitTracker::Finish(const CUpdaterDlg& dlg, const KeptLog& log) const {
    UnitRecord unit = m_unit;
    unit.end = UnitRecord::Clock::now();
    unit.seconds = SecondsSince(m_started);
    unit.blocksAcknowledged = dlg.SessionProgress().blockCounter;
    unit.framesSentAgain = dlg.FramesSentAgain();
    unit.log = log.Text();
    const std::string at = BlockText(unit.blocksAcknowledged, unit.blocksInImage);
    switch (m_ending) {
        case UnitEnding::kCancelled:
            unit.outcome = UnitOutcome::kCancelled;
            unit.reason = "cancelled at " + at + (m_cancelSent ? " (CNL sent)" : "");
            break;
        case UnitEnding::kTimedOut:
            unit.outcome = UnitOutcome::kTimedOut;
            unit.reason = TimeoutReason(m_stall, m_timeoutSeconds, unit.blocksAcknowledged,
                                        unit.blocksInImage);
            break;
        case UnitEnding::kLineLost:
            unit.outcome = UnitOutcome::kLineLost;
            unit.reason =
                "the line was lost at " + at + ": " + dlg.LastPortLoss().value_or(log.LastLine());
            break;
        case UnitEnding::kNone:
            EndedBySession(dlg.LastSessionEnd().value_or(CancelledEnd()), at, unit);
            break;
    }
    return unit;
}

}  // namespace vantrel
