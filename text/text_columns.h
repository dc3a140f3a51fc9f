#pragma once

#include <string>
#include <vector>

namespace vantrel {

// `rows` as lines of columns aligned for a terminal, two spaces apart; the
// last column is not padded. Widths count the characters of UTF-8 text, not
// its bytes.
std::string FormatColumns(const std::vector<std::vector<std::string>>& rows);

}  // namespace vantrel
