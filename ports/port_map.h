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
};

// What PORT n is, in this order: VANTREL_COM<n>; COM<n> in [PORTS] of the
// settings file; the n-th detected port; /dev/ttyS<n-1>.
PortDevice MapPort(int portNumber, const PortMapSources& sources);

// The sources as they are now: the environment and the settings file.
PortMapSources ReadPortMapSources(int portNumber, const CIniFile& settings,
                                  std::span<const DetectedPort> detected);

// The detected port that `path` is (a stable name resolves to its device),
// or nullptr.
const DetectedPort* FindDetectedPort(const std::string& path,
                                     std::span<const DetectedPort> detected);

// "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K3BQ", or the device and
// "nothing detected", with the setting that chose it: a port selector
// entry's tooltip.
std::string DescribePortDevice(const PortDevice& device, const DetectedPort* detected);

// "PORT 1 is " and the description, as a log line.
std::string PortIdentityLine(int portNumber, const PortDevice& device,
                             const DetectedPort* detected);

}  // namespace vantrel
