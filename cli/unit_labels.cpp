#include "cli/unit_labels.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/ini_file.h"
#include "text/hidden_characters.h"
#include "text/utf8_decode.h"

namespace vantrel {
namespace {

constexpr std::string_view kStationSection = "STATION";

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// One label: the option, else the setting, else `fallback`; a refused
// value leaves `fallback`, and what is wrong with it goes into `refused`.
void ReadLabel(const CIniFile& settings, const std::optional<std::string>& option,
               std::string_view optionName, std::string_view key, const std::string& fallback,
               std::string& out, std::vector<std::string>& refused) {
    std::string named;
    if (option) {
        out = *option;
        named = optionName;
    } else if (!key.empty()) {
        std::array<char, 4 * kMaxLabelCharacters + 2> value{};
        const int length = settings.ReadValue(kStationSection, key, value);
        out = length > 0 ? std::string(value.data(), static_cast<std::size_t>(length)) : fallback;
        named =
            std::string(key) + " in [" + std::string(kStationSection) + "] of " + settings.Path();
    } else {
        out = fallback;
    }
    if (const std::string wrong = CheckLabelText(out, kMaxLabelCharacters); !wrong.empty()) {
        refused.push_back(named + ": " + wrong);
        out = fallback;
    }
}

}  // namespace

std::string CheckLabelText(std::string_view value, std::size_t maxCharacters) {
    // The longest UTF-8 character takes four bytes: a longer value is too
    // long, and its cut end need not be decoded.
    if (value.size() > 4 * maxCharacters) {
        return "longer than " + std::to_string(maxCharacters) + " characters";
    }
    std::size_t characters = 0;
    for (std::size_t at = 0; at < value.size(); ++characters) {
        const DecodedCharacter decoded = DecodeUtf8(value, at);
        if (decoded.length == 0) {
            return "not valid UTF-8 (byte 0x" + Hex(static_cast<unsigned char>(value[at]), 2) +
                   " at byte " + std::to_string(at + 1) + ")";
        }
        // A tab, line end or escape sequence would change the look of every
        // listing and export the label appears in; an invisible character
        // would make two labels look alike, or one read backwards.
        if (IsControlCharacter(decoded.character)) {
            return "control character U+" + Hex(static_cast<unsigned>(decoded.character), 4) +
                   " at character " + std::to_string(characters + 1) + "; give plain text";
        }
        if (IsInvisibleFormatCharacter(decoded.character)) {
            return "invisible or direction-changing character U+" +
                   Hex(static_cast<unsigned>(decoded.character), 4) + " at character " +
                   std::to_string(characters + 1) + "; give plain text";
        }
        at += decoded.length;
    }
    if (characters > maxCharacters) {
        return "longer than " + std::to_string(maxCharacters) + " characters";
    }
    return {};
}

void AddLabelOptions(CLI::App& app, GivenLabels& given, bool withBoxSerial) {
    app.add_option("--station-name", given.stationName,
                   "the station's name in each record (default: [STATION] StationName in the "
                   "settings file, else the host name)")
        ->type_name("TEXT");
    app.add_option("--operator", given.operatorName,
                   "who runs the units, for each record (default: [STATION] Operator)")
        ->type_name("TEXT");
    app.add_option("--work-order", given.workOrder,
                   "the work order the units are updated for (default: [STATION] WorkOrder)")
        ->type_name("TEXT");
    if (withBoxSerial) {
        app.add_option("--box-serial", given.boxSerial, "the box's serial number, for its record")
            ->type_name("TEXT");
    }
}

LabelsRead ReadUsableUnitLabels(const CIniFile& settings, const GivenLabels& given,
                                std::string_view hostName) {
    LabelsRead read;
    UnitLabels& labels = read.labels;
    ReadLabel(settings, given.stationName, "--station-name", "StationName", std::string(hostName),
              labels.stationName, read.refused);
    ReadLabel(settings, given.operatorName, "--operator", "Operator", {}, labels.operatorName,
              read.refused);
    ReadLabel(settings, given.workOrder, "--work-order", "WorkOrder", {}, labels.workOrder,
              read.refused);
    ReadLabel(settings, given.boxSerial, "--box-serial", {}, {}, labels.boxSerial, read.refused);
    return read;
}

std::variant<UnitLabels, std::string> ReadUnitLabels(const CIniFile& settings,
                                                     const GivenLabels& given,
                                                     std::string_view hostName) {
    LabelsRead read = ReadUsableUnitLabels(settings, given, hostName);
    if (!read.refused.empty()) {
        return std::move(read.refused.front());
    }
    return std::move(read.labels);
}

}  // namespace vantrel
