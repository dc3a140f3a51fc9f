#pragma once

#include <optional>
#include <string>

#include "serial/device_holder.h"
#include "serial/line_settings.h"
#include "serial/port_device.h"
#include "serial/port_settings.h"

namespace vantrel {

enum class OpenErrorKind {
    kNone,
    kPortNumberRefused,  // not one of COM1 to COM4; no device was touched
    kNoSuchDevice,
    kPermissionDenied,
    kInUse,            // held by another program, or by another port object
    kNotATerminal,     // the path names something that is not a serial line
    kCannotOpen,       // any other failure of the device open
    kSettingsRefused,  // the line cannot take the settings; the device was closed again
    kReaderNotStarted,
};

// Why the last open of a port failed.
struct OpenError {
    OpenErrorKind kind = OpenErrorKind::kNone;
    int portNumber = 0;
    std::string device;                            // empty when no device was tried
    DeviceSource source = DeviceSource::kDefault;  // where the device was decided
    std::string sourceDetail;                      // see PortDevice::detail
    int error = 0;                                 // errno of the failing call, 0 when none
    std::optional<DeviceHolder> holder;            // kInUse: who holds the device, when found
    SettingsFault fault = SettingsFault::kNone;    // kSettingsRefused
    PortSettings settings{};                       // kSettingsRefused: what was asked for
};

// One log line for the operator that names the port, its device and the
// reason, with what to do about it where there is something to do.
std::string DescribeOpenError(const OpenError& error);

}  // namespace vantrel
