#pragma once

#include <optional>
#include <string>

namespace vantrel {

// A process that has a device open.
struct DeviceHolder {
    int pid = 0;
    std::string program;  // its command name, empty when unreadable
    bool isThisProcess = false;
};

// Looks through /proc/*/fd for a process holding the device. Finds only the
// processes this user may look into; nothing when none is found.
std::optional<DeviceHolder> FindDeviceHolder(const std::string& devicePath);

}  // namespace vantrel
