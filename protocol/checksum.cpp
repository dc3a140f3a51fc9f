#include "protocol/checksum.h"

namespace vantrel {

std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint8_t>(sum);
}

std::uint16_t Sum16(std::span<const std::uint8_t> bytes) {
    // A 32-bit accumulator keeps the low 16 bits exact and lets the compiler
    // vectorise the loop; the image is summed once per module header.
    std::uint32_t sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t ReadBE16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace vantrel
