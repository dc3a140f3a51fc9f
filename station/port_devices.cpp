#include "station/port_devices.h"

#include <filesystem>
#include <system_error>

#include "platform/ini_file.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"

namespace vantrel {
namespace {

// Links (a by-id name, a VANTREL_COMn link) are followed so that two names
// of one device match; a device that is not there keeps its own name.
std::string DeviceIdentity(const std::string& device) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(device, error);
    return error ? device : resolved.string();
}

}  // namespace

std::optional<GivenDevice> GivenDeviceOf(const StationPortArg& port) {
    if (!port.device) {
        return std::nullopt;
    }
    return GivenDevice{port.portNumber, *port.device, DeviceSource::kStationArgument};
}

std::vector<std::string> ResolvePortDevices(const std::vector<StationPortArg>& ports,
                                            const CIniFile& settings) {
    const std::vector<DetectedPort> detected = DetectSerialPorts();
    std::vector<std::string> devices;
    for (const StationPortArg& port : ports) {
        devices.push_back(
            ResolvePortDevice(port.portNumber, settings, detected, GivenDeviceOf(port)).path);
    }
    return devices;
}

std::optional<std::string> FindSharedDevice(const std::vector<StationPortArg>& ports,
                                            const std::vector<std::string>& devices) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const std::string identity = DeviceIdentity(devices[i]);
            if (identity == DeviceIdentity(devices[j])) {
                return ports[j].label + " and " + ports[i].label + " are the same device (" +
                       identity + ")";
            }
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
