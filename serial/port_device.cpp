#include "serial/port_device.h"

namespace vantrel {

std::string DescribeDeviceSource(DeviceSource source, std::string_view detail) {
    switch (source) {
        case DeviceSource::kDeviceOption:
            return "given with --device";
        case DeviceSource::kStationArgument:
            return "given as a PORT argument";
        case DeviceSource::kEnvironment:
        case DeviceSource::kSettingsFile:
        case DeviceSource::kDiscovery:
            return "set by " + std::string(detail);
        case DeviceSource::kDefault:
            break;
    }
    return {};
}

}  // namespace vantrel
