#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "station/shift_tally.h"

namespace vantrel {

// Where one port of a station stands.
enum class PortPhase {
    kOpening,
    kNotOpened,    // the port could not be opened (in a loop it is tried again)
    kWaitingBoot,  // Start was pressed; no box has announced itself yet
    kUpdating,
    kDone,
    kFailed,
    kLineLost,  // the port went away (in a loop it is reopened)
    kCancelled,
    kImageChanged,  // the image file changed during the shift: no new unit starts
    kStopped,       // the shift ended gracefully here: no new box was taken
};

// "waiting for BOOT", "updating", ...: how a dashboard row names the phase.
const char* PhaseName(PortPhase phase);

// One port as the dashboard shows it, copied out of its thread.
struct PortSnapshot {
    std::string label;   // "PORT 1", or the device as given
    std::string device;  // the device it opened (or tried)
    PortPhase phase = PortPhase::kOpening;
    std::string reason;  // why it failed, was lost or did not open
    std::string advice;  // how to name the port better, when there is a better name
    std::uint32_t blocksDone = 0;
    std::uint32_t blocksTotal = 0;
    std::uint32_t framesSentAgain = 0;
    double secondsSinceBoot = 0;  // of the unit being updated or last updated
    UnitCounts units;             // ended on this port
};

}  // namespace vantrel
