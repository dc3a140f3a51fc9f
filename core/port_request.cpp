#include "core/port_request.h"

#include "ports/port_discovery.h"
#include "ports/port_map.h"

namespace vantrel {

PortOpenRequest RequestForPort(int portNumber, const CIniFile& settings,
                               std::span<const DetectedPort> detected,
                               const std::optional<GivenDevice>& given) {
    PortOpenRequest request{portNumber, {}, std::nullopt};
    // Only PORT 1 to 4 are devices; any other number is refused untouched.
    if (portNumber < 1 || portNumber > kMaxPortNumber) {
        return request;
    }
    request.device = ResolvePortDevice(portNumber, settings, detected, given);
    if (const DetectedPort* port = FindDetectedPort(request.device.path, detected)) {
        request.detected = *port;
    }
    return request;
}

PortOpenRequest LookUpPort(int portNumber, const CIniFile& settings,
                           const std::optional<GivenDevice>& given) {
    PortOpenRequest request = RequestForPort(portNumber, settings, {}, given);
    // Without the machine's ports, PORT n falls back to its default device
    // only where discovery would have decided it.
    if (request.device.source == DeviceSource::kDefault) {
        return RequestForPort(portNumber, settings, DetectSerialPorts(), given);
    }
    if (!request.device.path.empty()) {
        request.detected = DetectPortOf(request.device.path);
    }
    return request;
}

}  // namespace vantrel
