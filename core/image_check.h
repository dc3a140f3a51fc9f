#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace vantrel {

// An image checked before any port is touched.
struct CheckedImage {
    std::int32_t kind = 0;  // as the window's image Open accepts it
    std::string sha256;     // of the file's bytes as they were read
};

// The image at `path` checked as the window's image Open checks it, with its
// SHA-256, which must be `expectedSha256` when that is given; or why it is
// refused, in words: the Open's own message with what an image must be, a
// file that cannot be read, or the digest that does not match.
std::variant<CheckedImage, std::string> CheckImageFile(
    const std::string& path, const std::optional<std::string>& expectedSha256);

}  // namespace vantrel
