#include "ports/port_map.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_thread_call.h"
#include "serial/comm.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

DetectedPort Uart(const std::string& name) {
    DetectedPort port;
    port.device = "/dev/" + name;
    port.sysName = name;
    port.kind = PortKind::kUart;
    port.driver = "serial8250";
    return port;
}

DetectedPort Usb(const std::string& name, const std::string& byPath) {
    DetectedPort port;
    port.device = "/dev/" + name;
    port.sysName = name;
    port.kind = PortKind::kUsb;
    port.driver = "ftdi_sio";
    port.vendorId = "0403";
    port.productId = "6001";
    port.manufacturer = "FTDI";
    port.product = "FT232R USB UART";
    port.serial = "A10K3BQ";
    port.byPath = byPath;
    return port;
}

TEST(MapPort, FirstSourceThatNamesADeviceDecides) {
    const std::vector<DetectedPort> bench = {Uart("ttyS0"),
                                             Usb("ttyUSB3", "/dev/serial/by-path/p1")};
    const struct {
        const char* name;
        int port;
        std::optional<std::string> environment;
        std::optional<std::string> configured;
        std::vector<DetectedPort> detected;
        std::string device;
        std::string origin;
    } cases[] = {
        {"the environment over everything", 1, "/dev/pts/4", "/dev/ttyUSB9", bench, "/dev/pts/4",
         "set by VANTREL_COM1"},
        {"the settings file over detection", 2, std::nullopt, "/dev/serial/by-path/p7", bench,
         "/dev/serial/by-path/p7", "set by COM2 in [PORTS] of /opt/Vantrel.ini"},
        {"the n-th detected port", 2, std::nullopt, std::nullopt, bench, "/dev/ttyUSB3",
         "set by the 2nd detected port"},
        {"the first detected port", 1, std::nullopt, std::nullopt, bench, "/dev/ttyS0",
         "set by the 1st detected port"},
        {"beyond the detected ports", 3, std::nullopt, std::nullopt, bench, "/dev/ttyS2", ""},
        {"nothing detected", 1, std::nullopt, std::nullopt, {}, "/dev/ttyS0", ""},
        {"nothing detected, PORT 4", 4, std::nullopt, std::nullopt, {}, "/dev/ttyS3", ""},
    };
    for (const auto& c : cases) {
        const PortMapSources sources{c.environment, c.configured, "/opt/Vantrel.ini", c.detected,
                                     std::nullopt};
        const PortDevice device = MapPort(c.port, sources);
        EXPECT_EQ(device.path, c.device) << c.name;
        EXPECT_EQ(DescribeDeviceSource(device.source, device.detail), c.origin) << c.name;
    }
}

TEST(MapPort, SourcesAreReadFromTheEnvironmentAndTheSettingsFile) {
    test::TempDir dir;
    CIniFile settings;
    settings.SetPath(dir.Write(
        "Vantrel.ini", "[LOADER VERSION]\nVersion=KOSMA_QRN_X\n[ports]\ncom2=/dev/tty-bench\n"));
    ::setenv("VANTREL_COM3", "/dev/pts/9", 1);
    ::setenv("VANTREL_COM4", "", 1);
    const std::vector<DetectedPort> none;
    const struct {
        int port;
        std::optional<std::string> environment;
        std::optional<std::string> configured;
    } cases[] = {
        {1, std::nullopt, std::nullopt},
        {2, std::nullopt, "/dev/tty-bench"},  // section and key in any case
        {3, "/dev/pts/9", std::nullopt},
        {4, std::nullopt, std::nullopt},  // an empty variable names nothing
    };
    for (const auto& c : cases) {
        const PortMapSources sources = ReadPortMapSources(c.port, settings, none);
        EXPECT_EQ(sources.environment, c.environment) << c.port;
        EXPECT_EQ(sources.configured, c.configured) << c.port;
        EXPECT_EQ(sources.settingsPath, settings.Path());
    }
    // A device given for PORT 3 is PORT 3's, over its variable, and no other PORT's.
    const GivenDevice given{3, "/dev/pts/given", DeviceSource::kDeviceOption};
    EXPECT_EQ(ResolvePortDevice(3, settings, none, given).path, "/dev/pts/given");
    EXPECT_EQ(ResolvePortDevice(2, settings, none, given).path, "/dev/tty-bench");
    ::unsetenv("VANTREL_COM3");
    ::unsetenv("VANTREL_COM4");
}

TEST(PortIdentityLine, NamesTheDeviceAndWhatItIs) {
    const DetectedPort adapter = Usb("ttyUSB0", "");
    EXPECT_EQ(PortIdentityLine(
                  1, {"/dev/ttyUSB0", DeviceSource::kDiscovery, "the 1st detected port"}, &adapter),
              "PORT 1 is /dev/ttyUSB0: " + DescribeDetectedPort(adapter) +
                  ", set by the 1st detected port\r\n");
    EXPECT_EQ(PortIdentityLine(
                  2, {"/dev/serial/by-id/x", DeviceSource::kEnvironment, "VANTREL_COM2"}, &adapter),
              "PORT 2 is /dev/serial/by-id/x (/dev/ttyUSB0): " + DescribeDetectedPort(adapter) +
                  ", set by VANTREL_COM2\r\n");
    EXPECT_EQ(
        PortIdentityLine(1, {"/dev/pts/3", DeviceSource::kEnvironment, "VANTREL_COM1"}, nullptr),
        "PORT 1 is /dev/pts/3: nothing detected, set by VANTREL_COM1\r\n");
}

TEST(FindDetectedPort, AStableNameFindsItsDevice) {
    test::TempDir dir;
    const std::string device = dir.Write("ttyUSB0", "");
    const std::filesystem::path link = dir.Path() / "by-path-link";
    std::filesystem::create_symlink(device, link);
    std::vector<DetectedPort> detected = {Uart("ttyS0"), Usb("ttyUSB0", "")};
    detected[1].device = device;
    EXPECT_EQ(FindDetectedPort(device, detected), &detected[1]);
    EXPECT_EQ(FindDetectedPort(link.string(), detected), &detected[1]);
    EXPECT_EQ(FindDetectedPort("/dev/ttyS0", detected), &detected[0]);
    EXPECT_EQ(FindDetectedPort((dir.Path() / "gone").string(), detected), nullptr);
}

// The operator must learn which setting to correct, and an unplugged
// adapter leaves its stable name dangling.
TEST(MapPort, AnOpenThroughAPortsValueNamingNoDeviceSaysWhereItWasSet) {
    test::TempDir dir;
    const std::string missing = dir.File("ttyUSB-none");
    const std::string dangling = dir.File("usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0");
    std::filesystem::create_symlink(dir.File("ttyUSB0"), dangling);
    for (const std::string& configured : {missing, dangling}) {
        CIniFile settings;
        settings.SetPath(dir.Write("Vantrel.ini", "[PORTS]\nCOM1=" + configured + "\n"));
        UiThreadCalls ui;
        CComm port(ui);
        ASSERT_EQ(
            port.OpenPort(DefaultPortSettings(1), MapPort(1, ReadPortMapSources(1, settings, {}))),
            0)
            << configured;
        EXPECT_EQ(DescribeOpenError(port.LastOpenError()),
                  "COM1 (" + configured + ") (set by COM1 in [PORTS] of " + settings.Path() +
                      "): cannot open: no such device. Check that the serial adapter is plugged "
                      "in, or correct COM1 in [PORTS] of " +
                      settings.Path() + ".");
    }
}

}  // namespace
}  // namespace vantrel
