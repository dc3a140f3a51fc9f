#include "station/slot_tie.h"

#include <filesystem>
#include <system_error>

namespace vantrel {
namespace {

constexpr const char* kByPath = "/dev/serial/by-path/";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? std::string() : real.string();
}

const DetectedPort* Found(const std::string& node, const std::vector<DetectedPort>& ports) {
    for (const DetectedPort& port : ports) {
        if (port.device == node || Canonical(port.device) == node) {
            return &port;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<DeviceIdentity> IdentifyDevice(const std::string& path,
                                             const std::vector<DetectedPort>& ports) {
    const std::string node = Canonical(path);
    if (node.empty()) {
        return std::nullopt;
    }
    const DetectedPort* port = Found(node, ports);
    if (port != nullptr && port->kind == PortKind::kUsb) {
        if (!port->serial.empty()) {
            return DeviceIdentity{
                "usb:" + port->vendorId + ":" + port->productId + ":" + port->serial,
                "adapter " + port->serial, port->serial};
        }
        // Identical adapters without a serial number differ only in their socket.
        const std::string socket = port->byPath.empty() ? port->physicalPath : port->byPath;
        return DeviceIdentity{"usb-at:" + port->physicalPath, "the adapter in " + socket,
                              "the one in " + socket};
    }
    return DeviceIdentity{"node:" + node, node, node};
}

SlotTie::SlotTie(std::string givenPath) : m_path(std::move(givenPath)) {}

void SlotTie::Opened(const std::vector<DetectedPort>& ports) {
    if (!m_tiedTo && !m_path.empty() && !StartsWith(m_path, kByPath)) {
        m_tiedTo = IdentifyDevice(m_path, ports);
    }
}

std::string SlotTie::Refusal(const std::vector<DetectedPort>& ports) const {
    if (!m_tiedTo) {
        return {};
    }
    const auto now = IdentifyDevice(m_path, ports);
    if (!now || *now == *m_tiedTo) {
        return {};
    }
    return m_path + " is now " + now->now + " (was " + m_tiedTo->was + "): not this slot's";
}

std::string SlotTie::Advice(const std::vector<DetectedPort>& ports) const {
    std::error_code error;
    const bool kernelName = StartsWith(m_path, "/dev/") && !StartsWith(m_path, "/dev/serial/") &&
                            !std::filesystem::is_symlink(m_path, error);
    const DetectedPort* port = kernelName ? Found(Canonical(m_path), ports) : nullptr;
    if (port == nullptr || (port->byId.empty() && port->byPath.empty())) {
        return {};
    }
    std::string advice = m_path +
                         " is a name the kernel may give another adapter after a replug; name "
                         "this slot by ";
    if (!port->serial.empty() && !port->byId.empty()) {
        advice += "its adapter, " + port->byId;
        if (!port->byPath.empty()) {
            advice += ", or by its socket, " + port->byPath;
        }
    } else {
        advice += "its socket, " + (port->byPath.empty() ? port->byId : port->byPath);
    }
    return advice;
}

}  // namespace vantrel
