#include "ports/detected_port.h"

namespace vantrel {
namespace {

// "FTDI" + "FTDI FT232R" reads better as "FTDI FT232R" than with the maker twice.
std::string MakerAndProduct(const std::string& manufacturer, const std::string& product) {
    if (manufacturer.empty() || product.rfind(manufacturer, 0) == 0) {
        return product;
    }
    return product.empty() ? manufacturer : manufacturer + " " + product;
}

std::string DescribeUsb(const DetectedPort& port) {
    std::string text = MakerAndProduct(port.manufacturer, port.product);
    if (text.empty()) {
        text = "USB serial adapter";
        if (!port.vendorId.empty() && !port.productId.empty()) {
            text += " " + port.vendorId + ":" + port.productId;
        }
        if (!port.driver.empty()) {
            text += " (" + port.driver + ")";
        }
    }
    if (!port.serial.empty()) {
        text += ", serial " + port.serial;
    }
    return text;
}

}  // namespace

std::string DescribeDetectedPort(const DetectedPort& port) {
    if (port.kind == PortKind::kUsb) {
        return DescribeUsb(port);
    }
    return port.driver.empty() ? "on-board UART" : "on-board UART (" + port.driver + ")";
}

std::string StableName(const DetectedPort& port) {
    if (!port.byId.empty() && (!port.serial.empty() || port.byPath.empty())) {
        return port.byId;
    }
    if (!port.byPath.empty()) {
        return port.byPath;
    }
    return port.device;
}

}  // namespace vantrel
