#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
#include "cli/cli_app_fwd.h"

namespace vantrel {

class CIniFile;

// Who updated a unit, for which order, at which station and on which box:
// what every unit's record carries besides what the unit itself tells.
struct UnitLabels {
    std::string stationName;
    std::string operatorName;
    std::string workOrder;
    std::string boxSerial;
};

// The labels a command line gives; nothing for an option not given.
struct GivenLabels {
    std::optional<std::string> stationName;
    std::optional<std::string> operatorName;
    std::optional<std::string> workOrder;
    std::optional<std::string> boxSerial;
};

// A label is free text of at most this many characters.
inline constexpr std::size_t kMaxLabelCharacters = 200;

// What is wrong with `value` as a label of at most `maxCharacters`
// characters: not valid UTF-8, too long, or holding a control character.
// Empty when nothing is.
std::string CheckLabelText(std::string_view value, std::size_t maxCharacters);

// --station-name, --operator and --work-order, and --box-serial when a
// program updates one box at a time, bound to `given`.
void AddLabelOptions(CLI::App& app, GivenLabels& given, bool withBoxSerial);

// Each label from its option, else from the settings file's [STATION]
// section (StationName, Operator, WorkOrder); the station name else
// `hostName`, the others else empty. A value that is not valid UTF-8, is
// longer than kMaxLabelCharacters characters or holds a control character
// is refused: the text names the option or the setting and what is wrong.
std::variant<UnitLabels, std::string> ReadUnitLabels(const CIniFile& settings,
                                                     const GivenLabels& given,
                                                     std::string_view hostName);

// The labels as ReadUnitLabels reads them, for a program that has nobody to
// refuse a value to: each refused value is left out (the station name is
// then the host name), and what is wrong with it is told in `refused`.
struct LabelsRead {
    UnitLabels labels;
    std::vector<std::string> refused;
};
LabelsRead ReadUsableUnitLabels(const CIniFile& settings, const GivenLabels& given,
                                std::string_view hostName);

}  // namespace vantrel
