#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

// Most blocks a readback can hold: block numbers are 16 bits on the wire.
inline constexpr std::size_t kMaxReadbackBlocks = 65536;

// A block the box sends back: the tool's block layout, but the checksum byte
// covers the frame's bytes 0 to 1030, header and zero fill included.
// `badChecksum` gives it a checksum that does not match.
std::vector<std::uint8_t> BuildReadbackBlock(std::span<const std::uint8_t> data,
                                             std::uint16_t blockNumber, bool badChecksum);

// The blocks of one readback, cut from the bytes to send back.
class ReadbackSource {
  public:
    ReadbackSource(std::vector<std::uint8_t> data, std::vector<std::uint16_t> badBlocks);

    std::size_t BlockCount() const;
    bool IsBad(std::size_t index) const;
    std::vector<std::uint8_t> Block(std::size_t index) const;

  private:
    std::vector<std::uint8_t> m_data;
    std::vector<std::uint16_t> m_badBlocks;
};

}  // namespace vantrel
