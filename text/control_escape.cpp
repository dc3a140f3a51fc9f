#include "text/control_escape.h"

#include "text/hidden_characters.h"
#include "text/utf8_decode.h"

namespace vantrel {
namespace {

constexpr char kHex[] = "0123456789abcdef";

bool ShownAscii(unsigned char c) {
    return (c >= 0x20 && c != 0x7f) || c == '\t' || c == '\r' || c == '\n';
}

void AppendHex(std::string& out, char32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0x0f];
    }
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (ShownAscii(byte)) {
                shown += text[at];
            } else {
                shown += "\\x";
                AppendHex(shown, byte, 2);
            }
            ++at;
            continue;
        }
        const DecodedCharacter decoded = DecodeUtf8(text, at);
        if (decoded.length == 0) {
            // A lone 0x9b is CSI to a terminal that reads 8-bit controls.
            if (byte <= 0x9f) {
                shown += "\\x";
                AppendHex(shown, byte, 2);
            } else {
                shown += text[at];
            }
            ++at;
            continue;
        }
        if (IsControlCharacter(decoded.character) ||
            IsInvisibleFormatCharacter(decoded.character)) {
            const bool wide = decoded.character > 0xffff;
            shown += wide ? "\\U" : "\\u";
            AppendHex(shown, decoded.character, wide ? 8 : 4);
        } else {
            shown.append(text.substr(at, decoded.length));
        }
        at += decoded.length;
    }
    return shown;
}

}  // namespace vantrel
