#include "text/display_width.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "text/utf8_decode.h"

namespace vantrel {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Combining marks of the common scripts, joiners, direction marks and
// variation selectors: drawn on or between their neighbours.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0900, 0x0902},
    {0x093A, 0x093A}, {0x093C, 0x093C}, {0x0941, 0x0948}, {0x094D, 0x094D}, {0x0951, 0x0957},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302D},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters and the emoji drawn as such.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x2E80, 0x303E},   {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool IsIn(const Range (&ranges)[N], char32_t character) {
    const auto after =
        std::upper_bound(std::begin(ranges), std::end(ranges), character,
                         [](char32_t value, const Range& range) { return value < range.first; });
    return after != std::begin(ranges) && character <= std::prev(after)->last;
}

// One character as the terminal draws it: its bytes and its columns.
struct Glyph {
    std::size_t length;
    std::size_t columns;
};

Glyph GlyphAt(std::string_view text, std::size_t at) {
    const DecodedCharacter decoded = DecodeUtf8(text, at);
    if (decoded.length == 0) {
        return {1, 1};  // drawn as a replacement character
    }
    const char32_t c = decoded.character;
    // C1 controls (C0 and DEL are escaped before any text is measured).
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (control || IsIn(kZeroWidth, c)) {
        return {decoded.length, 0};
    }
    return {decoded.length, IsIn(kWide, c) ? std::size_t{2} : std::size_t{1}};
}

std::vector<Glyph> GlyphsOf(std::string_view text) {
    std::vector<Glyph> glyphs;
    for (std::size_t at = 0; at < text.size();) {
        glyphs.push_back(GlyphAt(text, at));
        at += glyphs.back().length;
    }
    return glyphs;
}

constexpr std::string_view kEllipsis = "\xe2\x80\xa6";  // U+2026, one column

}  // namespace

std::size_t DisplayWidth(std::string_view text) {
    std::size_t columns = 0;
    for (const Glyph& glyph : GlyphsOf(text)) {
        columns += glyph.columns;
    }
    return columns;
}

std::string CutToWidth(std::string_view text, std::size_t width) {
    std::size_t columns = 0;
    std::size_t bytes = 0;
    for (const Glyph& glyph : GlyphsOf(text)) {
        if (columns + glyph.columns > width) {
            break;
        }
        columns += glyph.columns;
        bytes += glyph.length;
    }
    return std::string(text.substr(0, bytes));
}

std::string FitToWidth(std::string_view text, std::size_t width) {
    std::string fitted = CutToWidth(text, width);
    fitted.append(width - DisplayWidth(fitted), ' ');
    return fitted;
}

std::string ShortenInMiddle(std::string_view text, std::size_t width) {
    if (DisplayWidth(text) <= width) {
        return std::string(text);
    }
    if (width == 0) {
        return {};
    }
    const std::size_t headWidth = (width - 1) / 3;
    const std::string head = CutToWidth(text, headWidth);
    // The end: whole characters taken from the back while they fit, a mark
    // only together with the character it sits on.
    const std::vector<Glyph> glyphs = GlyphsOf(text);
    std::size_t tailColumns = 0;
    std::size_t tailBytes = 0;
    std::size_t pendingBytes = 0;  // marks seen, their base not yet
    const std::size_t room = width - 1 - DisplayWidth(head);
    for (auto glyph = glyphs.rbegin(); glyph != glyphs.rend(); ++glyph) {
        if (glyph->columns == 0) {
            pendingBytes += glyph->length;
            continue;
        }
        if (tailColumns + glyph->columns > room) {
            break;
        }
        tailColumns += glyph->columns;
        tailBytes += pendingBytes + glyph->length;
        pendingBytes = 0;
    }
    return head + std::string(kEllipsis) + std::string(text.substr(text.size() - tailBytes));
}

}  // namespace vantrel
