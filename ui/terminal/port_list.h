#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ports/detected_port.h"
#include "serial/port_device.h"

namespace vantrel {

// A detected port and the PORT label that maps to it, if any.
struct ListedPort {
    DetectedPort port;
    std::optional<int> portNumber;
    std::string portSource;  // how that PORT came to be this port: "given with --device"
};

// Every detected port, labelled with the first of PORT 1 to PORT n whose
// device (`mapped[n - 1]`, a stable name or the device itself) is it, and
// with where that device was decided.
std::vector<ListedPort> LabelPorts(std::span<const DetectedPort> detected,
                                   std::span<const PortDevice> mapped);

// "ok", "no permission: join the group dialout", "in use by minicom (pid 42)".
std::string AccessText(const PortAccess& access);

// One row per port under a heading; when there is none, how a device would
// appear.
std::string FormatPortTable(std::span<const ListedPort> ports);

// The same as a JSON array of objects.
std::string FormatPortJson(std::span<const ListedPort> ports);

}  // namespace vantrel
