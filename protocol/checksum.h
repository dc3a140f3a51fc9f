#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

// Additive checksums of the wire protocol: no seed, no complement, wrap-around.
std::uint8_t Sum8(std::span<const std::uint8_t> bytes);
std::uint16_t Sum16(std::span<const std::uint8_t> bytes);

// Big-endian 16-bit value of the first two bytes, always non-negative.
std::uint16_t ReadBE16(const std::uint8_t* bytes);

}  // namespace vantrel
