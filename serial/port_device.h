#pragma once

#include <functional>
#include <string>

namespace vantrel {

// The device behind a port number, and where that was decided, so that a
// failed open can name the setting that chose the device.
struct PortDevice {
    std::string path;
    std::string origin;  // "VANTREL_COM1", "[PORTS] COM1 in /etc/Vantrel.ini"; empty: the default
};

// Decides the device at every open, so a replugged adapter is found again.
using PortDeviceResolver = std::function<PortDevice(int portNumber)>;

}  // namespace vantrel
