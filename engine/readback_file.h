#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

// A block the box sent back, as read from its 1032-byte frame.
struct ReadbackBlock {
    std::uint32_t blockNumber = 0;
    std::uint32_t dataAreaSize = 1024;
    std::uint32_t dataLength = 0;        // as the box gave it
    std::span<const std::uint8_t> data;  // the data area of the frame
};

// Stores a block's data in the file: block 0 creates (or truncates) it, any
// other block is appended. At most the data area is written, whatever length
// the box claims. Returns false when the file cannot be opened or written.
bool SaveReadbackBlock(const std::string& fileName, const ReadbackBlock& block);

// The log line for a stored block.
std::string ReadbackLogLine(const ReadbackBlock& block);

}  // namespace vantrel
