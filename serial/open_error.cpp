#include "serial/open_error.h"

#include <system_error>

#include "serial/device_name.h"

namespace vantrel {
namespace {

std::string SystemMessage(int error) {
    return std::generic_category().message(error);
}

std::string SettingsText(const OpenError& error) {
    const PortSettings& asked = error.settings;
    switch (error.fault) {
        case SettingsFault::kBaudRate:
            return "the line cannot run at " + std::to_string(asked.baudRate) + " baud";
        case SettingsFault::kDataBits:
            return std::to_string(asked.dataBits) + " data bits are not possible (5 to 8)";
        case SettingsFault::kParity:
            return "parity setting " + std::to_string(asked.parity) +
                   " is unknown (none, odd, even, mark or space)";
        case SettingsFault::kOneAndHalfStopBits:
            return "1.5 stop bits are not available on Linux (use 1 or 2)";
        case SettingsFault::kStopBits:
            return "stop-bit setting " + std::to_string(asked.stopBits) + " is unknown (1 or 2)";
        case SettingsFault::kDsrDtrFlow:
            return "DSR/DTR handshake is not available on Linux (use CTS/RTS or none)";
        case SettingsFault::kDriverRefused:
            return "the driver refused the line settings (" + SystemMessage(error.error) + ")";
        case SettingsFault::kDriverChanged:
            return "the driver did not take the line settings as asked";
        case SettingsFault::kNone:
            break;
    }
    return "the line settings were refused";
}

std::string HolderText(const std::optional<DeviceHolder>& holder) {
    if (!holder) {
        return "in use by another program";
    }
    const std::string pid = "pid " + std::to_string(holder->pid);
    if (holder->isThisProcess) {
        return "already open in this program (" + pid + ")";
    }
    return "in use by " + (holder->program.empty() ? "another program" : holder->program) + " (" +
           pid + ")";
}

bool GivenByOperator(DeviceSource source) {
    return source == DeviceSource::kDeviceOption || source == DeviceSource::kStationArgument;
}

// What to look at: the path the operator gave, the setting that named the
// device, or how to name one.
std::string NoSuchDeviceAdvice(const OpenError& error) {
    switch (error.source) {
        case DeviceSource::kDeviceOption:
        case DeviceSource::kStationArgument:
            return "Check the path " + DescribeDeviceSource(error.source, error.sourceDetail);
        case DeviceSource::kEnvironment:
        case DeviceSource::kSettingsFile:
            return "Check that the serial adapter is plugged in, or correct " + error.sourceDetail;
        case DeviceSource::kDiscovery:
        case DeviceSource::kDefault:
            break;
    }
    return "Check that the serial adapter is plugged in, or name the device in VANTREL_" +
           ComPortName(error.portNumber);
}

std::string ReasonText(const OpenError& error) {
    switch (error.kind) {
        case OpenErrorKind::kNone:
            return "open";
        case OpenErrorKind::kPortNumberRefused:
            return "only COM1 to COM" + std::to_string(kMaxPortNumber) + " can be used";
        case OpenErrorKind::kNoSuchDevice:
            return "no such device. " + NoSuchDeviceAdvice(error);
        case OpenErrorKind::kPermissionDenied:
            return "permission denied. Add your user to the 'dialout' group "
                   "(sudo usermod -aG dialout $USER), then log in again";
        case OpenErrorKind::kInUse:
            return HolderText(error.holder);
        case OpenErrorKind::kNotATerminal:
            return "this is not a serial device";
        case OpenErrorKind::kCannotOpen:
            return SystemMessage(error.error);
        case OpenErrorKind::kSettingsRefused:
            return SettingsText(error);
        case OpenErrorKind::kReaderNotStarted:
            return "Failed to create event for thread! (" + SystemMessage(error.error) + ")";
    }
    return "unknown failure";
}

}  // namespace

std::string DescribeOpenError(const OpenError& error) {
    // A path the operator gave is the port's name; COMn would be news to them.
    const std::string port = error.device.empty() ? ComPortName(error.portNumber)
                             : GivenByOperator(error.source)
                                 ? error.device
                                 : DescribePort(error.portNumber, error.device);
    if (error.kind == OpenErrorKind::kNone) {
        return port + ": open.";
    }
    const std::string source = DescribeDeviceSource(error.source, error.sourceDetail);
    return port + (source.empty() ? "" : " (" + source + ")") +
           ": cannot open: " + ReasonText(error) + ".";
}

}  // namespace vantrel
