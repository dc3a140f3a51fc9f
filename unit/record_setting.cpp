#include "unit/record_setting.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "platform/ini_file.h"

namespace vantrel {
namespace {

constexpr std::string_view kRecordsSection = "RECORDS";
constexpr std::string_view kRecordKey = "Record";
// Longer than any path or URL a station uses; a longer value would be read
// cut short, and records would go somewhere nobody meant.
constexpr std::size_t kMaxValueLength = 4095;

bool IsOff(std::string_view value) {
    constexpr std::string_view kOff = "off";
    if (value.size() != kOff.size()) {
        return false;
    }
    for (std::size_t i = 0; i < value.size(); ++i) {
        if ((value[i] | 0x20) != kOff[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::variant<std::optional<RecordTarget>, std::string> ReadRecordSetting(
    const CIniFile& settings, const std::string& defaultFile) {
    const std::string name = std::string(kRecordKey) + "= in [" + std::string(kRecordsSection) +
                             "] of " + settings.Path();
    std::array<char, kMaxValueLength + 2> buffer{};
    const auto length =
        static_cast<std::size_t>(settings.ReadValue(kRecordsSection, kRecordKey, buffer));
    if (length > kMaxValueLength) {
        return name + ": longer than " + std::to_string(kMaxValueLength) + " characters";
    }
    const std::string_view value(buffer.data(), length);
    if (IsOff(value)) {
        return std::nullopt;
    }
    auto parsed =
        ParseRecordTarget(value.empty() ? std::nullopt : std::optional(value), defaultFile, name);
    if (auto* error = std::get_if<std::string>(&parsed)) {
        return std::move(*error);
    }
    auto target = std::get<RecordTarget>(std::move(parsed));
    // A setting means the same file whichever folder the window starts in.
    if (std::filesystem::path file(target.localFile); file.is_relative()) {
        target.localFile = (std::filesystem::path(settings.Path()).parent_path() / file).string();
    }
    return target;
}

}  // namespace vantrel
