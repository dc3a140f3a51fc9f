#pragma once

#include <string>
#include <vector>

#include "station/port_snapshot.h"
#include "station/station_event.h"

namespace vantrel {

enum class StationOutput {
    kDashboard,  // a terminal: rows redrawn in place
    kLines,      // a pipe or file: one line per event
    kJson,       // one JSON object per event
    kQuiet,      // failures and the summary only
};

// What a station says when its shift ends gracefully, on the dashboard and
// in its event line.
inline constexpr const char* kFinishingText =
    "finishing the units under way, taking no new box; Ctrl-C again cancels them";

// "2026-12-10T04:05:06Z PORT 1: BOOT on /dev/ttyUSB0", "... A2: failed: the
// box refused the module end", ...: one line per event, starting with its
// UTC time and the port's label, without a line end.
std::string EventLine(const StationEvent& event);

// The event as one JSON object on one line, with its UTC time; an ended
// unit with its record, progress with the blocks done and frames sent again.
std::string EventJson(const StationEvent& event);

// Whether a quiet station still tells of `event`: a port that did not open,
// a unit that did not complete, a lost line.
bool IsFailureEvent(const StationEvent& event);

// The table printed when a station ends: per port its device, units
// completed, failed and stopped, and how its last unit ended.
std::string SummaryTable(const std::vector<PortSnapshot>& ports);

}  // namespace vantrel
