#include "ports/device_text.h"

#include <cctype>
#include <cstdint>
#include <optional>

namespace vantrel {
namespace {

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') {
        return lower - 'a' + 10;
    }
    return std::nullopt;
}

// Length of the well-formed UTF-8 sequence of a printable character at the
// start of `text`, 0 when there is none.
std::size_t PrintableSequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return (lead >= 0x20 && lead != 0x7f) ? 1 : 0;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t minimum = 0;
    if ((lead & 0xe0) == 0xc0) {
        length = 2, code = lead & 0x1f, minimum = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3, code = lead & 0x0f, minimum = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3f);
    }
    const bool surrogate = code >= 0xd800 && code <= 0xdfff;
    const bool c1Control = code >= 0x80 && code <= 0x9f;
    if (code < minimum || code > 0x10ffff || surrogate || c1Control) {
        return 0;
    }
    return length;
}

}  // namespace

std::string SanitizeDeviceText(std::string_view raw) {
    std::string clean;
    while (!raw.empty()) {
        const std::size_t length = PrintableSequenceLength(raw);
        const std::size_t consumed = length == 0 ? 1 : length;  // a bad byte becomes one '?'
        if (clean.size() + consumed > kMaxDeviceTextBytes) {
            break;
        }
        if (length == 0) {
            clean += '?';
        } else {
            clean.append(raw.substr(0, length));
        }
        raw.remove_prefix(consumed);
    }
    const std::size_t first = clean.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return clean.substr(first, clean.find_last_not_of(' ') + 1 - first);
}

std::string DecodeUdevEscapes(std::string_view encoded) {
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x') {
            const auto high = HexValue(encoded[i + 2]);
            const auto low = HexValue(encoded[i + 3]);
            if (high && low) {
                decoded += static_cast<char>(*high * 16 + *low);
                i += 3;
                continue;
            }
        }
        decoded += encoded[i];
    }
    return decoded;
}

std::string NormalizeUsbId(std::string_view raw) {
    std::string id;
    for (const char c : raw) {
        if (!HexValue(c)) {
            return {};
        }
        id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return id.size() == 4 ? id : std::string();
}

}  // namespace vantrel
