#pragma once

#include <QString>
#include <string_view>

namespace vantrel {

// Texts of the window logic and of the templates are UTF-8 (file names
// included); the log's bytes are not and go through LogTextFilter instead.
inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace vantrel
