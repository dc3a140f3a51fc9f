#include "ports/detected_port.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

DetectedPort Usb(std::string manufacturer, std::string product, std::string serial) {
    DetectedPort port;
    port.kind = PortKind::kUsb;
    port.device = "/dev/ttyUSB3";
    port.driver = "ch341-uart";
    port.vendorId = "1a86";
    port.productId = "7523";
    port.manufacturer = std::move(manufacturer);
    port.product = std::move(product);
    port.serial = std::move(serial);
    return port;
}

TEST(DescribeDetectedPortTest, NamesThePortFromWhatWasRead) {
    DetectedPort bare = Usb("", "", "");
    bare.vendorId.clear();
    DetectedPort uart;
    uart.driver = "serial8250";
    const struct {
        const char* what;
        DetectedPort port;
        const char* expected;
    } cases[] = {
        {"maker and product", Usb("FTDI", "FT232R USB UART", "A10K3BQ"),
         "FTDI FT232R USB UART, serial A10K3BQ"},
        {"product repeating the maker", Usb("FTDI", "FTDI Cable", ""), "FTDI Cable"},
        {"maker only", Usb("Acme", "", "7"), "Acme, serial 7"},
        {"no strings", Usb("", "", ""), "USB serial adapter 1a86:7523 (ch341-uart)"},
        {"no strings, no vendor id", bare, "USB serial adapter (ch341-uart)"},
        {"a UART", uart, "on-board UART (serial8250)"},
        {"a UART with no driver", DetectedPort{}, "on-board UART"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeDetectedPort(c.port), c.expected) << c.what;
    }
}

TEST(StableNameTest, PrefersTheAdaptersOwnNameWhereItIsUnique) {
    const std::string id = "/dev/serial/by-id/usb-x-if00-port0";
    const std::string path = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
    const struct {
        const char* what;
        const char* serial;
        std::string byId, byPath;
        std::string expected;
    } cases[] = {
        {"serial number: by-id", "A1", id, path, id},
        {"no serial number: by-path", "", id, path, path},
        {"by-id only", "", id, "", id},
        {"by-path only", "A1", "", path, path},
        {"no links", "A1", "", "", "/dev/ttyUSB3"},
    };
    for (const auto& c : cases) {
        DetectedPort port = Usb("", "", c.serial);
        port.byId = c.byId;
        port.byPath = c.byPath;
        EXPECT_EQ(StableName(port), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace vantrel
