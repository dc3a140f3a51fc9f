#include "platform/profile_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>

namespace vantrel {
namespace {

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = line.find(']');
    const std::string_view name =
        line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return Trim(name);
}

std::optional<std::string> FindValue(const std::filesystem::path& file, std::string_view section,
                                     std::string_view key) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    std::string rawLine;
    while (std::getline(in, rawLine)) {
        const std::string_view line = Trim(rawLine);
        if (const auto name = SectionName(line)) {
            inSection = EqualsIgnoringCase(*name, section);
            continue;
        }
        if (!inSection || line.empty() || line.front() == ';') {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos &&
            EqualsIgnoringCase(Trim(line.substr(0, equals)), key)) {
            return std::string(Unquote(Trim(line.substr(equals + 1))));
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback,
                              std::size_t capacity) {
    std::string value = FindValue(file, section, key).value_or(std::string(fallback));
    value.resize(std::min(value.size(), capacity == 0 ? 0 : capacity - 1));
    return value;
}

}  // namespace vantrel
