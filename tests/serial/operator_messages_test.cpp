#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <string>
#include <vector>

#include "serial/device_name.h"
#include "serial/open_error.h"
#include "serial/port_loss.h"

namespace vantrel {
namespace {

OpenError Failure(OpenErrorKind kind, int port = 1, std::string device = "/dev/ttyUSB0") {
    OpenError error;
    error.kind = kind;
    error.portNumber = port;
    error.device = std::move(device);
    return error;
}

OpenError InUse(std::optional<DeviceHolder> holder) {
    OpenError error = Failure(OpenErrorKind::kInUse);
    error.holder = std::move(holder);
    return error;
}

OpenError SettingsRefused(SettingsFault fault, PortSettings asked, int errorNumber = 0) {
    OpenError error = Failure(OpenErrorKind::kSettingsRefused);
    error.fault = fault;
    error.settings = asked;
    error.error = errorNumber;
    return error;
}

OpenError WithErrno(OpenError error, int errorNumber) {
    error.error = errorNumber;
    return error;
}

struct MessageCase {
    const char* name;
    std::string line;
    std::vector<std::string> mentions;
};

std::vector<MessageCase> Cases() {
    PortSettings asked = DefaultPortSettings(1);
    asked.baudRate = 12345;
    return {
        {"port number",
         DescribeOpenError(Failure(OpenErrorKind::kPortNumberRefused, 7, "")),
         {"COM7:", "COM1 to COM4"}},
        {"no device",
         DescribeOpenError(WithErrno(Failure(OpenErrorKind::kNoSuchDevice, 2), ENOENT)),
         {"COM2 (/dev/ttyUSB0)", "no such device", "VANTREL_COM2"}},
        {"permission",
         DescribeOpenError(WithErrno(Failure(OpenErrorKind::kPermissionDenied), EACCES)),
         {"COM1 (/dev/ttyUSB0)", "permission denied", "'dialout'"}},
        {"in use by another program",
         DescribeOpenError(InUse(DeviceHolder{4321, "minicom"})),
         {"in use by minicom (pid 4321)"}},
        {"in use here",
         DescribeOpenError(InUse(DeviceHolder{77, "vantrel", true})),
         {"this program (pid 77)"}},
        {"holder unknown", DescribeOpenError(InUse(std::nullopt)), {"another program"}},
        {"not a terminal",
         DescribeOpenError(Failure(OpenErrorKind::kNotATerminal)),
         {"not a serial device"}},
        {"other open failure",
         DescribeOpenError(WithErrno(Failure(OpenErrorKind::kCannotOpen), EMFILE)),
         {"Too many open files"}},
        {"baud",
         DescribeOpenError(SettingsRefused(SettingsFault::kBaudRate, asked)),
         {"12345 baud"}},
        {"1.5 stop bits",
         DescribeOpenError(SettingsRefused(SettingsFault::kOneAndHalfStopBits, asked)),
         {"1.5 stop bits"}},
        {"DSR/DTR",
         DescribeOpenError(SettingsRefused(SettingsFault::kDsrDtrFlow, asked)),
         {"DSR/DTR"}},
        {"driver refused",
         DescribeOpenError(SettingsRefused(SettingsFault::kDriverRefused, asked, EINVAL)),
         {"driver refused", "Invalid argument"}},
        {"reader",
         DescribeOpenError(WithErrno(Failure(OpenErrorKind::kReaderNotStarted), EMFILE)),
         {"Failed to create event for thread!"}},
        {"hang-up",
         DescribePortLoss(PortLoss{2, "/dev/pts/3", LossReason::kHangUp, 0}),
         {"COM2 (/dev/pts/3)", "connection lost", "unplugged"}},
        {"read error",
         DescribePortLoss(PortLoss{1, "/dev/ttyS0", LossReason::kReadError, EIO}),
         {"connection lost", "Input/output error"}},
    };
}

TEST(OperatorMessages, NameThePortAndTheReasonOnOnePrintableLine) {
    for (const MessageCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        for (const std::string& mention : c.mentions) {
            EXPECT_NE(c.line.find(mention), std::string::npos) << c.line;
        }
        for (const char ch : c.line) {
            EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "not one printable ASCII line: " << c.line;
        }
    }
}

TEST(DevicePathForPort, ComesFromTheEnvironmentOrTheFirstSerialPorts) {
    struct {
        int port;
        const char* variable;  // nullptr: unset
        const char* path;
    } const cases[] = {
        {1, nullptr, "/dev/ttyS0"},
        {4, nullptr, "/dev/ttyS3"},
        {2, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {3, "", "/dev/ttyS2"},
    };
    for (const auto& c : cases) {
        const std::string name = "VANTREL_COM" + std::to_string(c.port);
        c.variable != nullptr ? ::setenv(name.c_str(), c.variable, 1) : ::unsetenv(name.c_str());
        EXPECT_EQ(DevicePathForPort(c.port), c.path) << name;
        ::unsetenv(name.c_str());
    }
}

}  // namespace
}  // namespace vantrel
