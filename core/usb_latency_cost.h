#pragma once

#include <optional>
#include <string>

#include "ports/detected_port.h"

namespace vantrel {

// What a USB adapter's latency timer costs an update, and how to lower it.
// A timer above 1 ms that stayed there after the port asked for low latency
// holds every answer of the box back; one line, without a line end, naming
// the port. Nothing for 1 ms, an unknown timer or a port without one.
std::optional<std::string> UsbLatencyCostLine(int portNumber, const DetectedPort& port,
                                              std::optional<int> timerMs);

}  // namespace vantrel
