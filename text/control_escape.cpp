#include "text/control_escape.h"

namespace vantrel {
namespace {

bool Shown(unsigned char c) {
    return (c >= 0x20 && c != 0x7f) || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (Shown(byte)) {
            shown += c;
        } else {
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0f]};
        }
    }
    return shown;
}

}  // namespace vantrel
