#pragma once

#include <string_view>
#include <vector>

#include "ports/detected_port.h"

namespace vantrel {

// Compares with runs of digits taken as numbers, so "ttyS2" < "ttyS10" and
// "usb-0:1.2:1.0" < "usb-0:1.10:1.0".
bool NaturalLess(std::string_view a, std::string_view b);

// UARTs by name, then USB ports by physical path; the name breaks ties.
void SortPorts(std::vector<DetectedPort>& ports);

}  // namespace vantrel
