#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::test {

// Bytes of an image file: the 16-byte header ("ZKMR", four free bytes, "29",
// two free bytes, the kind text) followed by a deterministic pattern up to
// `size` bytes. Any header field can be replaced to make a bad file.
struct ImageRecipe {
    std::string_view kindText = "LOAD";
    std::size_t size = 66560;
    std::string_view magic = "ZKMR";
    std::string_view version = "29";
};

std::string MakeImageBytes(const ImageRecipe& recipe);

}  // namespace vantrel::test
