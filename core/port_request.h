#pragma once

#include <optional>
#include <span>

#include "core/port_core.h"
#include "platform/ini_file.h"
#include "ports/detected_port.h"
#include "serial/port_device.h"

namespace vantrel {

// What to open for PORT n as decided now (the device the operator gave, the
// environment, the settings file, discovery or the default: see
// ResolvePortDevice), with what `detected` knows of that device.
PortOpenRequest RequestForPort(int portNumber, const CIniFile& settings,
                               std::span<const DetectedPort> detected,
                               const std::optional<GivenDevice>& given = std::nullopt);

// The same, looking at this machine's ports only where that decides PORT n
// (the n-th of them); a device decided otherwise is looked up alone.
PortOpenRequest LookUpPort(int portNumber, const CIniFile& settings,
                           const std::optional<GivenDevice>& given = std::nullopt);

}  // namespace vantrel
