#include "ports/port_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/ports/testbed.h"

namespace vantrel {
namespace {

constexpr const char* kUsb = "/devices/pci0000:00/0000:00:14.0/usb1";

class PortDiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::UnderUmockdevPreload())
            << "run under umockdev-wrapper (tests/ports/run-in-testbed.sh)";
    }
};

// umockdev serves one test bed per process at a time, so each test or table
// row makes its own.
std::vector<DetectedPort> Detect(test::Testbed& bed, const std::vector<std::string>& files) {
    for (const auto& file : files) {
        EXPECT_TRUE(bed.Load(file)) << file;
    }
    return DetectSerialPorts();
}

std::vector<std::string> SysNames(const std::vector<DetectedPort>& ports) {
    std::vector<std::string> names;
    for (const auto& port : ports) {
        names.push_back(port.sysName);
    }
    return names;
}

struct UsbExpectation {
    const char* file;
    const char* device;
    const char* driver;
    const char* vendorId;
    const char* productId;
    const char* manufacturer;
    const char* product;
    const char* serial;
    const char* byId;
    const char* byPath;
    const char* physicalPath;
    std::optional<int> latencyTimerMs;
    const char* description;
    const char* stableName;
};

TEST_F(PortDiscoveryTest, UsbAdaptersAreDescribedFromUdevOrSysfs) {
    const UsbExpectation cases[] = {
        {"ftdi-ft232r.umockdev", "/dev/ttyUSB0", "ftdi_sio", "0403", "6001", "FTDI",
         "FT232R USB UART", "A10K3BQ",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "pci-0000:00:14.0-usb-0:2:1.0",
         16, "FTDI FT232R USB UART, serial A10K3BQ",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0"},
        {"cdc-acm.umockdev", "/dev/ttyACM0", "cdc_acm", "2e8a", "000a", "", "Pocket Console",
         "E66138935F2A", "/dev/serial/by-id/usb-2e8a_Pocket_Console_E66138935F2A-if00",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0", "pci-0000:00:14.0-usb-0:3:1.0",
         std::nullopt, "Pocket Console, serial E66138935F2A",
         "/dev/serial/by-id/usb-2e8a_Pocket_Console_E66138935F2A-if00"},
        {"sysfs-only-adapter.umockdev", "/dev/ttyUSB1", "ch341-uart", "1a86", "7523",
         "Acme Serial Works", "USB Serial Cable", "0042",
         "/dev/serial/by-id/usb-1a86_USB_Serial_Cable_0042-if00-port0", "", "1-4:1.0", std::nullopt,
         "Acme Serial Works USB Serial Cable, serial 0042",
         "/dev/serial/by-id/usb-1a86_USB_Serial_Cable_0042-if00-port0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::Testbed bed;
        const auto ports = Detect(bed, {c.file});
        ASSERT_EQ(ports.size(), 1u);
        const DetectedPort& port = ports[0];
        EXPECT_EQ(port.kind, PortKind::kUsb);
        EXPECT_EQ(port.device, c.device);
        EXPECT_EQ(port.driver, c.driver);
        EXPECT_EQ(port.vendorId, c.vendorId);
        EXPECT_EQ(port.productId, c.productId);
        EXPECT_EQ(port.manufacturer, c.manufacturer);
        EXPECT_EQ(port.product, c.product);
        EXPECT_EQ(port.serial, c.serial);
        EXPECT_EQ(port.byId, c.byId);
        EXPECT_EQ(port.byPath, c.byPath);
        EXPECT_EQ(port.physicalPath, c.physicalPath);
        EXPECT_EQ(port.latencyTimerMs, c.latencyTimerMs);
        EXPECT_EQ(DescribeDetectedPort(port), c.description);
        EXPECT_EQ(StableName(port), c.stableName);
        EXPECT_FALSE(port.access.holder.has_value());
    }
}

// An open looks up its one device: it must say of it what the whole look
// says, whichever name it was given by, and nothing of what is no port.
TEST_F(PortDiscoveryTest, OneDeviceLookedUpAloneIsWhatDiscoveryListsOfIt) {
    test::Testbed bed;
    const auto ports =
        Detect(bed, {"ftdi-ft232r.umockdev", "onboard-uarts.umockdev", "consoles.umockdev"});
    const struct {
        const char* given;
        const char* sysName;  // nullptr: nothing to say
    } cases[] = {
        {"/dev/ttyUSB0", "ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0", "ttyUSB0"},
        {"/dev/ttyS2", "ttyS2"},
        {"/dev/ttyS1", nullptr},  // registered, no UART behind it
        {"/dev/tty1", nullptr},   // a virtual console
        {"/dev/ttyUSB9", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<DetectedPort> alone = DetectPortOf(c.given);
        if (c.sysName == nullptr) {
            EXPECT_FALSE(alone.has_value()) << c.given;
            continue;
        }
        ASSERT_TRUE(alone.has_value()) << c.given;
        const auto listed = std::find_if(ports.begin(), ports.end(), [&](const DetectedPort& p) {
            return p.sysName == c.sysName;
        });
        ASSERT_NE(listed, ports.end()) << c.sysName;
        EXPECT_EQ(alone->device, listed->device) << c.given;
        EXPECT_EQ(DescribeDetectedPort(*alone), DescribeDetectedPort(*listed)) << c.given;
        EXPECT_EQ(StableName(*alone), StableName(*listed)) << c.given;
        EXPECT_EQ(alone->latencyTimerMs, listed->latencyTimerMs) << c.given;
    }
}

TEST_F(PortDiscoveryTest, ListsUartsWithHardwareInNumberOrderAndNothingElse) {
    test::Testbed bed;
    const auto ports = Detect(bed, {"onboard-uarts.umockdev", "consoles.umockdev"});
    ASSERT_EQ(SysNames(ports), (std::vector<std::string>{"ttyS0", "ttyS2", "ttyS10"}));
    const char* descriptions[] = {"on-board UART (serial)", "on-board UART (serial8250)",
                                  "on-board UART (serial8250)"};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].kind, PortKind::kUart) << i;
        EXPECT_EQ(ports[i].device, "/dev/" + ports[i].sysName) << i;
        EXPECT_EQ(DescribeDetectedPort(ports[i]), descriptions[i]) << i;
        EXPECT_EQ(StableName(ports[i]), ports[i].device) << i;
    }
}

TEST_F(PortDiscoveryTest, UsbPortsKeepTheirPlaceByPositionWhateverTheirNumber) {
    const struct {
        const char* hub;
        std::vector<std::string> sysNames;
    } cases[] = {
        {"hub-at-boot.umockdev", {"ttyS0", "ttyS2", "ttyS10", "ttyUSB6", "ttyUSB5", "ttyUSB0"}},
        {"hub-replugged.umockdev", {"ttyS0", "ttyS2", "ttyS10", "ttyUSB5", "ttyUSB6", "ttyUSB0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hub);
        test::Testbed bed;
        const auto ports = Detect(bed, {"ftdi-ft232r.umockdev", c.hub, "onboard-uarts.umockdev"});
        EXPECT_EQ(SysNames(ports), c.sysNames);
        std::vector<std::string> serials;
        for (const auto& port : ports) {
            serials.push_back(port.serial);
        }
        EXPECT_EQ(serials, (std::vector<std::string>{"", "", "", "NEAR", "FAR", "A10K3BQ"}));
    }
}

TEST_F(PortDiscoveryTest, OddDeviceDataIsSanitisedNotTrusted) {
    test::Testbed bed;
    const auto ports = Detect(bed, {"odd-data.umockdev"});
    ASSERT_EQ(ports.size(), 1u);
    const DetectedPort& port = ports[0];
    EXPECT_EQ(port.manufacturer, "Acme??[2J?");
    EXPECT_EQ(port.product, "Bad?Bell\\xZZ");
    EXPECT_EQ(port.vendorId, "");
    EXPECT_EQ(port.productId, "");
    EXPECT_EQ(port.serial, "");
    EXPECT_EQ(port.driver, "");
    EXPECT_EQ(port.physicalPath, "1-5:1.0");
    EXPECT_EQ(port.latencyTimerMs, std::nullopt);
    EXPECT_EQ(DescribeDetectedPort(port), "Acme??[2J? Bad?Bell\\xZZ");
}

TEST_F(PortDiscoveryTest, HugeAttributesAreReadOnlyAsFarAsAnAttributeGoes) {
    test::Testbed bed;
    ASSERT_TRUE(bed.Load("sysfs-only-adapter.umockdev"));
    const std::string adapter = std::string(kUsb) + "/1-4";
    std::string euros;
    while (euros.size() < (1u << 20)) {
        euros += "\xe2\x82\xac";
    }
    bed.SetAttribute(adapter, "product", euros);
    bed.SetAttribute(adapter + "/1-4:1.0/ttyUSB1", "latency_timer", std::string(1 << 20, '1'));
    const auto ports = DetectSerialPorts();
    ASSERT_EQ(ports.size(), 1u);
    // Cut at a character boundary: 85 three-byte characters fit in 256 bytes.
    EXPECT_EQ(ports[0].product, euros.substr(0, 85 * 3));
    EXPECT_EQ(ports[0].latencyTimerMs, std::nullopt);
}

TEST_F(PortDiscoveryTest, LatencyTimerIsReadAgainAsItIsNow) {
    test::Testbed bed;
    ASSERT_TRUE(bed.Load("ftdi-ft232r.umockdev"));
    EXPECT_EQ(ReadLatencyTimerMs("ttyUSB0"), 16);
    bed.SetAttribute(std::string(kUsb) + "/1-2/1-2:1.0/ttyUSB0", "latency_timer", "1\n");
    EXPECT_EQ(ReadLatencyTimerMs("ttyUSB0"), 1) << "lowered since discovery";
    EXPECT_EQ(ReadLatencyTimerMs("ttyUSB7"), std::nullopt) << "no such port";
    EXPECT_EQ(ReadLatencyTimerMs("../ttyUSB0"), std::nullopt) << "not a port name";
}

TEST_F(PortDiscoveryTest, StableLinksMustLeadToTheDevice) {
    test::Testbed bed;
    bed.AddDevLink("serial/by-id/usb-gone-if00-port0", "ttyUSB9");
    bed.AddDevLink("serial/by-path/pci-0000:00:14.0-usb-0:5:1.0-port0", "null");
    bed.AddDevLink("serial/by-path/aaa-older-link-to-the-ftdi", "ttyUSB0");
    // Without ID_PATH the odd adapter is ordered by its sysfs name, "1-5:1.0".
    const auto ports = Detect(bed, {"odd-data.umockdev", "ftdi-ft232r.umockdev"});
    ASSERT_EQ(SysNames(ports), (std::vector<std::string>{"ttyUSB2", "ttyUSB0"}));
    // udev's own links come before other links to the same device.
    EXPECT_EQ(ports[1].byPath, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    EXPECT_EQ(ports[1].byId, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0");
    EXPECT_EQ(ports[0].byId, "");
    EXPECT_EQ(ports[0].byPath, "");
    EXPECT_EQ(StableName(ports[0]), "/dev/ttyUSB2");
}

}  // namespace
}  // namespace vantrel
