#include "serial/device_name.h"

#include <cstdio>
#include <cstdlib>

namespace vantrel {

std::string ComPortName(int portNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "COM%d", portNumber);
    return name;
}

std::string DevicePathForPort(int portNumber) {
    const std::string variable = "VANTREL_" + ComPortName(portNumber);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
        return device;
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::string DescribePort(int portNumber, const std::string& device) {
    return ComPortName(portNumber) + " (" + device + ")";
}

}  // namespace vantrel
