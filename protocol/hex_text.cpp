#include "protocol/hex_text.h"

namespace vantrel {

int HexDigitValue(char c) {
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::size_t HexToU32(std::string_view text, std::uint32_t& value) {
    value = 0;
    std::size_t digits = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            break;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
        ++digits;
    }
    return digits;
}

}  // namespace vantrel
