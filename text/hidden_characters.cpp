#include "text/hidden_characters.h"

#include <algorithm>
#include <iterator>

namespace vantrel {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Cf, Zl and Zp as Unicode 15 assigns them, in order.
constexpr Range kInvisibleFormat[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

}  // namespace

bool IsControlCharacter(char32_t character) {
    return character < 0x20 || (character >= 0x7F && character <= 0x9F);
}

bool IsInvisibleFormatCharacter(char32_t character) {
    const auto* after =
        std::upper_bound(std::begin(kInvisibleFormat), std::end(kInvisibleFormat), character,
                         [](char32_t value, const Range& range) { return value < range.first; });
    return after != std::begin(kInvisibleFormat) && character <= std::prev(after)->last;
}

}  // namespace vantrel
