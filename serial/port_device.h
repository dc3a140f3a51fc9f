#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Where the device behind a port was decided, so that every message about
// the port names what the operator gave.
enum class DeviceSource {
    kDeviceOption,     // vantrel-cli --device PATH
    kStationArgument,  // a vantrel-station PORT given as a path
    kEnvironment,      // VANTREL_COM<n>
    kSettingsFile,     // COM<n> in [PORTS] of the settings file
    kDiscovery,        // the n-th serial port found on this machine
    kDefault,          // /dev/ttyS<n-1>
};

// The device behind a port number, and where that was decided.
struct PortDevice {
    std::string path;
    DeviceSource source = DeviceSource::kDefault;
    // The variable ("VANTREL_COM1"), the settings entry ("COM1 in [PORTS]
    // of /etc/vantrel/Vantrel.ini") or the detected port ("the 2nd
    // detected port"); empty for the other sources.
    std::string detail;
};

// A device the operator named for one PORT number: it is that PORT's device,
// whatever the environment or the settings file say.
struct GivenDevice {
    int portNumber = 1;
    std::string path;
    DeviceSource source = DeviceSource::kDeviceOption;  // or kStationArgument
};

// "given with --device", "given as a PORT argument", "set by VANTREL_COM1";
// empty for the default.
std::string DescribeDeviceSource(DeviceSource source, std::string_view detail);

}  // namespace vantrel
