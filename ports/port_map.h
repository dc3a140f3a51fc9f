#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/ini_file.h"
#include "ports/detected_port.h"
#include "serial/port_device.h"

namespace vantrel {

// Everything that can name the device behind PORT n.
struct PortMapSources {
    std::optional<std::string> environment;  // VANTREL_COM<n>, when set and not empty
    std::optional<std::string> configured;   // COM<n> in the settings file's [PORTS]
    std::string settingsPath;                // the settings file, for messages
    std::span<const DetectedPort> detected;  // this machine's ports, in their stable order
    std::optional<GivenDevice> given;        // named by the operator for this PORT
};

// What PORT n is, in this order: the device the operator gave for it;
// VANTREL_COM<n>; COM<n> in [PORTS] of the settings file; the n-th detected
// port; /dev/ttyS<n-1>.
PortDevice MapPort(int portNumber, const PortMapSources& sources);

// The sources as they are now: the environment and the settings file, and
// `given` when it is for `portNumber`.
PortMapSources ReadPortMapSources(int portNumber, const CIniFile& settings,
                                  std::span<const DetectedPort> detected,
                                  const std::optional<GivenDevice>& given = std::nullopt);

// PORT n's device as decided now: what the window, vantrel-cli and
// vantrel-station open, list and describe. Called at each open, since an
// adapter may have been replugged.
PortDevice ResolvePortDevice(int portNumber, const CIniFile& settings,
                             std::span<const DetectedPort> detected,
                             const std::optional<GivenDevice>& given = std::nullopt);

// The detected port that `path` is (a stable name resolves to its device),
// or nullptr.
const DetectedPort* FindDetectedPort(const std::string& path,
                                     std::span<const DetectedPort> detected);

// "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K3BQ", or the device and
// "nothing detected", with where it was decided ("given with --device",
// "set by VANTREL_COM1"): a port selector entry's tooltip.
std::string DescribePortDevice(const PortDevice& device, const DetectedPort* detected);

// "PORT 1 is " and the description, as a log line.
std::string PortIdentityLine(int portNumber, const PortDevice& device,
                             const DetectedPort* detected);

}  // namespace vantrel
