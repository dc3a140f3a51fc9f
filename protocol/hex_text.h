#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantrel {

// Value 0 to 15 of one hexadecimal digit character, -1 for anything else.
int HexDigitValue(char c);

// Parses hexadecimal digits from the start of `text` into `value` and returns
// how many it consumed. Parsing stops at the first non-digit (a NUL included);
// there is no overflow check, so of a longer run only the last eight digits
// count.
std::size_t HexToU32(std::string_view text, std::uint32_t& value);

}  // namespace vantrel
