#include "text/utf8_decode.h"

namespace vantrel {

DecodedCharacter DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<unsigned char>(text[at + offset]);
    };
    if (at >= text.size()) {
        return {};
    }
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
    } else {
        return {};
    }
    if (at + length > text.size()) {
        return {};
    }
    char32_t character = lead & (0x7F >> length);
    for (std::size_t offset = 1; offset < length; ++offset) {
        if ((byte(offset) & 0xC0) != 0x80) {
            return {};
        }
        character = (character << 6) | (byte(offset) & 0x3F);
    }
    if (character < minimum || character > 0x10FFFF ||
        (character >= 0xD800 && character <= 0xDFFF)) {
        return {};
    }
    return {character, length};
}

}  // namespace vantrel
