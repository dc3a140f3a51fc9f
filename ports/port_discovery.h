#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ports/detected_port.h"

namespace vantrel {

// The serial ports of this machine in a stable order: on-board UARTs in ttyS
// number order first (only those with a real UART behind them: sysfs `type`
// != 0), then USB adapters (ttyUSB*, ttyACM*) by physical position, so PORT n
// stays the same socket across replug and reboot. Virtual consoles, ptys and
// phantom UARTs are left out. Reads the udev database where there is one and
// the sysfs attributes where not.
std::vector<DetectedPort> DetectSerialPorts();

// What discovery would say of the one port at `device` (a device node or a
// link to one, a stable name say), looked up alone: nothing when it is no
// serial port discovery lists (a pty, a console, a UART without hardware,
// nothing at all).
std::optional<DetectedPort> DetectPortOf(const std::string& device);

// The latency timer of the USB serial port `sysName` ("ttyUSB0") as it is
// now: opening the port may have lowered it since discovery.
std::optional<int> ReadLatencyTimerMs(const std::string& sysName);

}  // namespace vantrel
