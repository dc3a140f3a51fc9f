#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/port_device.h"
#include "station/station_options.h"

namespace vantrel {

class CIniFile;

// A PORT argument given as a path, as the device of its selector entry.
std::optional<GivenDevice> GivenDeviceOf(const StationPortArg& port);

// The device each PORT argument opens now: a path as given, a number as
// the window maps it (VANTREL_COMn, [PORTS], the n-th detected port).
std::vector<std::string> ResolvePortDevices(const std::vector<StationPortArg>& ports,
                                            const CIniFile& settings);

// "PORT 1 and /dev/ttyUSB0 are the same device (/dev/ttyUSB0)" for the first
// two arguments that name one device (links followed), nothing otherwise.
std::optional<std::string> FindSharedDevice(const std::vector<StationPortArg>& ports,
                                            const std::vector<std::string>& devices);

}  // namespace vantrel
