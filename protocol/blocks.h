#pragma once

#include <concepts>
#include <cstdint>

namespace vantrel {

// Bytes of image data one BLK frame has room for, in both directions.
inline constexpr std::uint32_t kBlockSize = 1024;

// Blocks of kBlockSize bytes needed for `length` bytes, the last one possibly
// short. It divides before it adds, so no length overflows, and the count
// comes back in the length's own type: it is never larger than the length.
template <std::unsigned_integral Length>
constexpr Length BlocksOf(Length length) {
    return static_cast<Length>(length / kBlockSize + (length % kBlockSize != 0 ? 1 : 0));
}

}  // namespace vantrel
