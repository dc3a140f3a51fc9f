#pragma once

#include <cstddef>
#include <string_view>

namespace vantrel {

struct DecodedCharacter {
    char32_t character = 0;
    std::size_t length = 0;  // in bytes; 0: no valid character starts here
};

// The UTF-8 character that starts at byte `at` of `text`, refusing
// overlong forms, surrogates and anything beyond U+10FFFF.
DecodedCharacter DecodeUtf8(std::string_view text, std::size_t at);

}  // namespace vantrel
