#include "platform/ini_file.h"

#include <algorithm>

#include "platform/profile_reader.h"

namespace vantrel {

int CIniFile::ReadValue(std::string_view section, std::string_view key, std::span<char> out) const {
    if (out.empty()) {
        return 0;
    }
    const std::string value = ReadProfileString(m_path, section, key, "", out.size());
    const auto end = std::copy(value.begin(), value.end(), out.begin());
    *end = '\0';
    return static_cast<int>(value.size());
}

std::string DirectoryOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? std::string_view{}
                                                       : path.substr(0, slash + 1));
}

}  // namespace vantrel
