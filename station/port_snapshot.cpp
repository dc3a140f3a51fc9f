#include "station/port_snapshot.h"

namespace vantrel {

const char* PhaseName(PortPhase phase) {
    switch (phase) {
        case PortPhase::kOpening:
            return "opening";
        case PortPhase::kNotOpened:
            return "not opened";
        case PortPhase::kWaitingBoot:
            return "waiting for BOOT";
        case PortPhase::kUpdating:
            return "updating";
        case PortPhase::kDone:
            return "done";
        case PortPhase::kFailed:
            return "failed";
        case PortPhase::kLineLost:
            return "line lost";
        case PortPhase::kCancelled:
            return "cancelled";
        case PortPhase::kImageChanged:
            return "image changed";
        case PortPhase::kStopped:
            return "stopped";
    }
    return "unknown";
}

}  // namespace vantrel
