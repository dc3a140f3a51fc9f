#include "tests/support/image_maker.h"

#include <algorithm>

namespace vantrel::test {

std::string MakeImageBytes(const ImageRecipe& recipe) {
    std::string bytes(std::max<std::size_t>(recipe.size, 16), '\0');
    for (std::size_t i = 16; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 1024) & 0xFF);
    }
    bytes.replace(0, 4, recipe.magic.substr(0, 4));
    bytes.replace(4, 4, "\x12\x34\x56\x78");
    bytes.replace(8, 2, recipe.version.substr(0, 2));
    bytes.replace(10, 2, "\xAB\xCD");
    bytes.replace(12, 4, recipe.kindText.substr(0, 4));
    bytes.resize(recipe.size);
    return bytes;
}

}  // namespace vantrel::test
