#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// Texts measured in the columns a terminal gives them: UTF-8 decoded, East
// Asian wide characters two columns, combining marks and other zero-width
// characters none, every other character (and each byte that is not valid
// UTF-8) one. Cuts fall between characters, a mark staying with its base.

std::size_t DisplayWidth(std::string_view text);

// The longest start of `text` that fits `width` columns.
std::string CutToWidth(std::string_view text, std::size_t width);

// `text` cut to `width` columns and padded with blanks to exactly `width`.
std::string FitToWidth(std::string_view text, std::size_t width);

// `text` as it is when it fits `width` columns; otherwise its start and its
// longer end around an ellipsis, so that names that differ only in their
// ends (a device's by-id name, its adapter's serial number) stay apart.
std::string ShortenInMiddle(std::string_view text, std::size_t width);

}  // namespace vantrel
