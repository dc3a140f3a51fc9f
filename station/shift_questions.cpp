#include "station/shift_questions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "platform/ini_file.h"

namespace vantrel {
namespace {

bool SettingSaysYes(const CIniFile& settings, const char* key) {
    std::array<char, 16> value{};
    const int length = settings.ReadValue("STATION", key, value);
    std::string text(value.data(), static_cast<std::size_t>(std::max(length, 0)));
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text == "yes" || text == "true" || text == "1";
}

}  // namespace

ShiftQuestions ReadShiftQuestions(const CIniFile& settings, const GivenLabels& given) {
    return {!given.operatorName && SettingSaysYes(settings, "AskOperator"),
            !given.workOrder && SettingSaysYes(settings, "AskWorkOrder")};
}

}  // namespace vantrel
