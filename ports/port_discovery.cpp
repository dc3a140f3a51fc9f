#include "ports/port_discovery.h"

#include <libudev.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ports/device_text.h"
#include "ports/port_access.h"
#include "ports/port_order.h"
#include "ports/stable_links.h"
#include "ports/sysfs_attribute.h"

namespace vantrel {
namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// libudev keeps process-wide state (its hash seed among it) that it sets up
// without a lock, so the ports of a station look at devices one at a time.
std::mutex g_udevMutex;

// The FTDI latency timer is a byte of milliseconds.
constexpr int kMaxLatencyTimerMs = 255;
// Linux serial_core port types stop far below this; more is not a port type.
constexpr int kMaxUartType = 1000;

std::string Text(const char* value) {
    return value != nullptr ? value : "";
}

std::string Property(udev_device* device, const char* key) {
    return Text(udev_device_get_property_value(device, key));
}

std::optional<std::string> Attribute(udev_device* device, const char* name) {
    const char* syspath = device != nullptr ? udev_device_get_syspath(device) : nullptr;
    if (syspath == nullptr) {
        return std::nullopt;
    }
    return ReadSysfsAttribute(syspath, name);
}

// "ttyS12" is numbered "ttyS"; "ttySAC0" (another driver's name) is not.
bool IsNumbered(std::string_view sysName, std::string_view prefix) {
    return sysName.size() > prefix.size() && sysName.substr(0, prefix.size()) == prefix &&
           sysName.find_first_not_of("0123456789", prefix.size()) == std::string_view::npos;
}

std::optional<PortKind> KindOf(const std::string& sysName) {
    if (IsNumbered(sysName, "ttyUSB") || IsNumbered(sysName, "ttyACM")) {
        return PortKind::kUsb;
    }
    if (IsNumbered(sysName, "ttyS")) {
        return PortKind::kUart;
    }
    return std::nullopt;
}

// Port type 0 is PORT_UNKNOWN: the 8250 driver registers ttyS0-3 whether or
// not a UART answers, and only a probed one gets a type.
bool HasRealUart(udev_device* tty) {
    const auto type = Attribute(tty, "type");
    const auto number = type ? ParseBoundedNumber(*type, kMaxUartType) : std::nullopt;
    return number.value_or(0) != 0;
}

// The udev-encoded property, else the plain one, else the sysfs attribute of
// the USB device. udev falls back to the numeric id for a missing string,
// which names nothing, so that counts as missing too.
std::string UsbString(udev_device* tty, udev_device* usb, const char* encodedKey,
                      const char* plainKey, const char* attribute, const std::string& id) {
    std::string value = DecodeUdevEscapes(Property(tty, encodedKey));
    if (value.empty()) {
        value = Property(tty, plainKey);
    }
    if (value.empty()) {
        value = Attribute(usb, attribute).value_or("");
    }
    value = SanitizeDeviceText(value);
    return !id.empty() && NormalizeUsbId(value) == id ? std::string() : value;
}

std::string UsbId(udev_device* tty, udev_device* usb, const char* key, const char* attribute) {
    std::string id = NormalizeUsbId(Property(tty, key));
    return id.empty() ? NormalizeUsbId(Attribute(usb, attribute).value_or("")) : id;
}

// The interface the tty hangs off names the socket and, on a multi-port
// chip, the port; the USB device alone names the socket.
std::string SysfsUsbPath(udev_device* tty, udev_device* usb) {
    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_interface");
    udev_device* named = interface != nullptr ? interface : usb;
    return named != nullptr ? Text(udev_device_get_sysname(named)) : "";
}

// usb-serial keeps it on the port device the tty belongs to.
std::optional<int> LatencyTimerOf(udev_device* tty) {
    const auto latency = Attribute(udev_device_get_parent(tty), "latency_timer");
    return latency ? ParseBoundedNumber(*latency, kMaxLatencyTimerMs) : std::nullopt;
}

void ReadUsbDetails(udev_device* tty, DetectedPort& port) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    port.vendorId = UsbId(tty, usb, "ID_VENDOR_ID", "idVendor");
    port.productId = UsbId(tty, usb, "ID_MODEL_ID", "idProduct");
    port.manufacturer =
        UsbString(tty, usb, "ID_VENDOR_ENC", "ID_VENDOR", "manufacturer", port.vendorId);
    port.product = UsbString(tty, usb, "ID_MODEL_ENC", "ID_MODEL", "product", port.productId);
    port.serial = SanitizeDeviceText(Property(tty, "ID_SERIAL_SHORT"));
    if (port.serial.empty()) {
        port.serial = SanitizeDeviceText(Attribute(usb, "serial").value_or(""));
    }
    port.physicalPath = SanitizeDeviceText(Property(tty, "ID_PATH"));
    if (port.physicalPath.empty()) {
        port.physicalPath = SysfsUsbPath(tty, usb);
    }
    port.latencyTimerMs = LatencyTimerOf(tty);
}

// Since Linux 6.5 a UART's tty hangs off serial-base port and controller
// devices (drivers "port" and "ctrl"); the hardware's driver is above them.
udev_device* HardwareParent(udev_device* tty) {
    udev_device* parent = udev_device_get_parent(tty);
    while (parent != nullptr && Text(udev_device_get_subsystem(parent)) == "serial-base") {
        parent = udev_device_get_parent(parent);
    }
    return parent;
}

std::string DriverOf(udev_device* tty) {
    std::string driver = Property(tty, "ID_USB_DRIVER");
    if (driver.empty()) {
        udev_device* parent = HardwareParent(tty);
        driver = parent != nullptr ? Text(udev_device_get_driver(parent)) : "";
    }
    return SanitizeDeviceText(driver);
}

std::optional<DetectedPort> ReadPort(udev_device* tty) {
    DetectedPort port;
    port.sysName = Text(udev_device_get_sysname(tty));
    port.device = Text(udev_device_get_devnode(tty));
    const auto kind = KindOf(port.sysName);
    if (!kind || port.device.empty() || (*kind == PortKind::kUart && !HasRealUart(tty))) {
        return std::nullopt;
    }
    port.kind = *kind;
    port.driver = DriverOf(tty);
    if (port.kind == PortKind::kUsb) {
        ReadUsbDetails(tty, port);
    }
    const StableLinks links = FindStableLinks(port.device, Property(tty, "DEVLINKS"));
    port.byId = links.byId;
    port.byPath = links.byPath;
    port.access = ReadPortAccess(port.device);
    return port;
}

}  // namespace

std::vector<DetectedPort> DetectSerialPorts() {
    const std::lock_guard lock(g_udevMutex);
    std::vector<DetectedPort> ports;
    const UdevPtr<udev> context(udev_new());
    const UdevPtr<udev_enumerate> enumerate(context ? udev_enumerate_new(context.get()) : nullptr);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return ports;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!tty) {
            continue;
        }
        if (auto port = ReadPort(tty.get())) {
            ports.push_back(std::move(*port));
        }
    }
    SortPorts(ports);
    return ports;
}

std::optional<DetectedPort> DetectPortOf(const std::string& device) {
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(device, error);
    if (error) {
        return std::nullopt;
    }
    const std::lock_guard lock(g_udevMutex);
    const UdevPtr<udev> context(udev_new());
    const UdevPtr<udev_device> tty(context ? udev_device_new_from_subsystem_sysname(
                                                 context.get(), "tty", node.filename().c_str())
                                           : nullptr);
    std::optional<DetectedPort> port = tty ? ReadPort(tty.get()) : std::nullopt;
    // A tty of that name elsewhere than the node given is not this device.
    if (port && port->device != node.string()) {
        return std::nullopt;
    }
    return port;
}

std::optional<int> ReadLatencyTimerMs(const std::string& sysName) {
    const std::lock_guard lock(g_udevMutex);
    const UdevPtr<udev> context(udev_new());
    const UdevPtr<udev_device> tty(
        context ? udev_device_new_from_subsystem_sysname(context.get(), "tty", sysName.c_str())
                : nullptr);
    return tty ? LatencyTimerOf(tty.get()) : std::nullopt;
}

}  // namespace vantrel
