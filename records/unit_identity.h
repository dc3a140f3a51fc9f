#pragma once

#include <string>

namespace vantrel {

// A random (version 4) UUID in its 36-character form: unique across the
// stations of a line without asking any of them.
std::string NewUnitId();

// This machine's host name, as a unit's record names its station.
std::string StationHostName();

}  // namespace vantrel
