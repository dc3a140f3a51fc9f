#pragma once

#include <optional>
#include <string>

#include "records/unit_record.h"
#include "station/port_snapshot.h"

namespace vantrel {

// How a slot's tile is coloured.
enum class SlotColour { kIdle, kBusy, kGood, kBad, kWarning, kOff };

// What a slot's tile says of it, in words and colour.
struct SlotFace {
    std::string state;  // "waiting for a box", "updating", "done", "failed", ...
    SlotColour colour = SlotColour::kIdle;
    std::string detail;      // why it failed, or what it waits for
    std::string lastResult;  // "done in 0:53", "failed: ...": until the next box
};

// The face of a slot from where its port stands, the unit that ended last
// there (held until the next box announces itself) and whether the
// operator stopped it. While the slot waits for the next box the held
// result keeps the tile's state and colour, so a failure stays in sight.
SlotFace FaceOf(const PortSnapshot& port, const std::optional<UnitRecord>& held, bool stopped);

// The port as its tile shows it: while the slot waits for its next box,
// the figures of the unit held there (blocks, frames sent again, time),
// not the empty ones of the wait.
PortSnapshot ShownPort(PortSnapshot port, const std::optional<UnitRecord>& held);

// "0:53", "1:02:07".
std::string ClockText(double seconds);

}  // namespace vantrel
