#pragma once

#include <optional>
#include <string>

#include "serial/device_holder.h"

namespace vantrel {

enum class PortKind { kUart, kUsb };

// Whether this user can have the port, and what stands in the way if not.
struct PortAccess {
    bool mayOpen = true;                 // this user may open it read-write
    std::string groupToJoin;             // when not: the group that would grant it, empty if none
    std::optional<DeviceHolder> holder;  // another process holding it
};

// One serial port of this machine, as discovery found it.
struct DetectedPort {
    std::string device;   // "/dev/ttyUSB0"
    std::string sysName;  // "ttyUSB0"
    PortKind kind = PortKind::kUart;
    std::string driver;                         // "ftdi_sio", "cdc_acm", "serial8250", ...
    std::string vendorId, productId;            // "0403", "6001" (USB only)
    std::string manufacturer, product, serial;  // USB strings, sanitised to printable UTF-8
    std::string byId;                           // a /dev/serial/by-id/... link to it, or empty
    std::string byPath;                         // a /dev/serial/by-path/... link to it, or empty
    std::string physicalPath;  // ID_PATH, or the sysfs USB interface name: the order key for USB
    std::optional<int> latencyTimerMs;  // the USB serial latency_timer, where there is one
    PortAccess access;
};

// "FTDI FT232R USB UART, serial A10K3BQ" for USB; "on-board UART (serial8250)"
// for a UART; built from what could be read, never empty.
std::string DescribeDetectedPort(const DetectedPort& port);

// The name to show that survives renumbering. An adapter with a serial number
// is named by its by-id link: readable, and it follows the adapter to any
// socket. Without one, by-id is shared by identical adapters, so the by-path
// link (the socket) is the one that tells them apart. Else the device.
std::string StableName(const DetectedPort& port);

}  // namespace vantrel
