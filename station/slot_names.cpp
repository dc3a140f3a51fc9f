#include "station/slot_names.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "cli/unit_labels.h"
#include "platform/ini_file.h"

namespace vantrel {
namespace {

constexpr std::string_view kStationSection = "STATION";

std::optional<std::string> ReadSlotName(const CIniFile& settings, const std::string& key) {
    // Room for a name four bytes a character, and one more to tell a longer one.
    std::array<char, 4 * kMaxSlotNameCharacters + 2> value{};
    const int length = settings.ReadValue(kStationSection, key, value);
    if (length <= 0) {
        return std::nullopt;
    }
    return std::string(value.data(), static_cast<std::size_t>(length));
}

// The key of `device` that the settings hold, and its name: the device as
// given first, then where its links lead.
std::optional<std::pair<std::string, std::string>> FindSlotName(const CIniFile& settings,
                                                                const std::string& device) {
    std::vector<std::string> keys = {SlotNameKey(device)};
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(device, error);
    if (!error && resolved.string() != device) {
        keys.push_back(SlotNameKey(resolved.string()));
    }
    for (const std::string& key : keys) {
        if (auto name = ReadSlotName(settings, key)) {
            return std::pair{key, std::move(*name)};
        }
    }
    return std::nullopt;
}

}  // namespace

std::string CheckSlotName(std::string_view name) {
    if (name.empty()) {
        return "empty";
    }
    if (name.find('=') != std::string_view::npos) {
        return "has an '=' in it";
    }
    return CheckLabelText(name, kMaxSlotNameCharacters);
}

std::string SlotNameKey(std::string_view device) {
    return "Slot " + std::string(device);
}

std::optional<std::string> NameSlots(std::vector<StationPortArg>& ports,
                                     const std::vector<std::string>& devices,
                                     const CIniFile& settings) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        StationPortArg& port = ports[i];
        if (port.name) {
            continue;  // the command line's name wins
        }
        const auto found = FindSlotName(settings, devices[i]);
        if (!found) {
            continue;
        }
        const auto& [key, name] = *found;
        if (const std::string wrong = CheckSlotName(name); !wrong.empty()) {
            return "slot name '" + name + "' (" + key + " in [" + std::string(kStationSection) +
                   "] of " + settings.Path() + "): " + wrong;
        }
        port.name = name;
        port.label = name;
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (ports[i].label == ports[j].label) {
                return "two slots are named '" + ports[i].label + "'; give each its own name";
            }
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
