#include "station/slot_face.h"

#include <cstdio>

namespace vantrel {
namespace {

SlotFace ResultFace(const UnitRecord& unit) {
    switch (unit.outcome) {
        case UnitOutcome::kCompleted:
            return {"done", SlotColour::kGood, {}, {}};
        case UnitOutcome::kLineLost:
            return {"line lost", SlotColour::kWarning, unit.reason, {}};
        case UnitOutcome::kCancelled:
            return {"stopped", SlotColour::kOff, unit.reason, {}};
        default:
            return {"failed", SlotColour::kBad, unit.reason, {}};
    }
}

bool IsWaiting(PortPhase phase) {
    return phase == PortPhase::kWaitingBoot || phase == PortPhase::kOpening;
}

std::string LastResultText(const UnitRecord& unit) {
    const double seconds = std::chrono::duration<double>(unit.end - unit.start).count();
    if (unit.outcome == UnitOutcome::kCompleted) {
        return "done in " + ClockText(seconds);
    }
    return ResultFace(unit).state + ": " + unit.reason;
}

}  // namespace

std::string ClockText(double seconds) {
    const long whole = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

PortSnapshot ShownPort(PortSnapshot port, const std::optional<UnitRecord>& held) {
    if (held && IsWaiting(port.phase)) {
        port.blocksDone = held->blocksAcknowledged;
        port.blocksTotal = held->blocksInImage;
        port.framesSentAgain = held->framesSentAgain;
        port.secondsSinceBoot = std::chrono::duration<double>(held->end - held->start).count();
    }
    return port;
}

SlotFace FaceOf(const PortSnapshot& port, const std::optional<UnitRecord>& held, bool stopped) {
    SlotFace face;
    const bool waiting = IsWaiting(port.phase);
    if (stopped) {
        face = {"stopped", SlotColour::kOff, port.reason, {}};
    } else if (held && waiting) {
        face = ResultFace(*held);
        face.detail = port.phase == PortPhase::kWaitingBoot ? "waiting for the next box" : "";
    } else {
        switch (port.phase) {
            case PortPhase::kOpening:
                face = {"opening", SlotColour::kIdle, {}, {}};
                break;
            case PortPhase::kWaitingBoot:
                face = {"waiting for a box", SlotColour::kIdle, {}, {}};
                break;
            case PortPhase::kUpdating:
                face = {"updating", SlotColour::kBusy, {}, {}};
                break;
            case PortPhase::kDone:
                face = {"done", SlotColour::kGood, {}, {}};
                break;
            case PortPhase::kFailed:
                face = {"failed", SlotColour::kBad, port.reason, {}};
                break;
            case PortPhase::kLineLost:
                face = {"line lost", SlotColour::kWarning, port.reason, {}};
                break;
            case PortPhase::kNotOpened:
                face = {"not opened", SlotColour::kBad, port.reason, {}};
                break;
            case PortPhase::kCancelled:
            case PortPhase::kImageChanged:
            case PortPhase::kStopped:
                face = {"stopped", SlotColour::kOff, port.reason, {}};
                break;
        }
    }
    if (held) {
        face.lastResult = LastResultText(*held);
    }
    return face;
}

}  // namespace vantrel
