#include "ports/port_map.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "serial/device_name.h"

namespace vantrel {
namespace {

constexpr std::string_view kPortsSection = "PORTS";

std::string Ordinal(std::size_t n) {
    const std::size_t lastTwo = n % 100;
    const char* suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        suffix = n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    }
    return std::to_string(n) + suffix;
}

}  // namespace

PortDevice MapPort(int portNumber, const PortMapSources& sources) {
    const std::string name = ComPortName(portNumber);
    if (sources.given) {
        return {sources.given->path, sources.given->source, {}};
    }
    if (sources.environment) {
        return {*sources.environment, DeviceSource::kEnvironment, "VANTREL_" + name};
    }
    if (sources.configured) {
        return {*sources.configured, DeviceSource::kSettingsFile,
                name + " in [PORTS] of " + sources.settingsPath};
    }
    if (portNumber >= 1 && static_cast<std::size_t>(portNumber) <= sources.detected.size()) {
        return {sources.detected[static_cast<std::size_t>(portNumber - 1)].device,
                DeviceSource::kDiscovery,
                "the " + Ordinal(static_cast<std::size_t>(portNumber)) + " detected port"};
    }
    return {"/dev/ttyS" + std::to_string(portNumber - 1), DeviceSource::kDefault, {}};
}

PortMapSources ReadPortMapSources(int portNumber, const CIniFile& settings,
                                  std::span<const DetectedPort> detected,
                                  const std::optional<GivenDevice>& given) {
    PortMapSources sources;
    if (given && given->portNumber == portNumber) {
        sources.given = given;
    }
    const std::string name = ComPortName(portNumber);
    const std::string variable = "VANTREL_" + name;
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') {
        sources.environment = value;
    }
    std::array<char, 4096> value{};
    if (settings.ReadValue(kPortsSection, name, value) > 0) {
        sources.configured = value.data();
    }
    sources.settingsPath = settings.Path();
    sources.detected = detected;
    return sources;
}

PortDevice ResolvePortDevice(int portNumber, const CIniFile& settings,
                             std::span<const DetectedPort> detected,
                             const std::optional<GivenDevice>& given) {
    return MapPort(portNumber, ReadPortMapSources(portNumber, settings, detected, given));
}

const DetectedPort* FindDetectedPort(const std::string& path,
                                     std::span<const DetectedPort> detected) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    for (const DetectedPort& port : detected) {
        if (port.device == path || (!error && resolved == port.device)) {
            return &port;
        }
    }
    return nullptr;
}

std::string DescribePortDevice(const PortDevice& device, const DetectedPort* detected) {
    std::string text = device.path;
    if (detected != nullptr && detected->device != device.path) {
        text += " (" + detected->device + ")";
    }
    text += ": " + (detected != nullptr ? DescribeDetectedPort(*detected) : "nothing detected");
    if (const std::string source = DescribeDeviceSource(device.source, device.detail);
        !source.empty()) {
        text += ", " + source;
    }
    return text;
}

std::string PortIdentityLine(int portNumber, const PortDevice& device,
                             const DetectedPort* detected) {
    return "PORT " + std::to_string(portNumber) + " is " + DescribePortDevice(device, detected) +
           "\r\n";
}

}  // namespace vantrel
