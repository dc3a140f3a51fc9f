#pragma once

#include <string>

namespace vantrel {

// "COM1" for port 1: the name the operator knows the port by.
std::string ComPortName(int portNumber);

// The device behind COMn: the environment variable VANTREL_COM<n> when set
// and not empty (a USB adapter, a pty), otherwise /dev/ttyS<n-1>.
std::string DevicePathForPort(int portNumber);

// "COM1 (/dev/ttyUSB0)": how messages name a port.
std::string DescribePort(int portNumber, const std::string& device);

}  // namespace vantrel
