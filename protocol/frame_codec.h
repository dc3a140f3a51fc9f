#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/blocks.h"

namespace vantrel {

// One numbering for the commands in both directions; the session sends frame
// type n in session state n.
enum FrameType : std::uint32_t {
    kFrameGbe = 0,  // handshake with the loader identifier
    kFrameMbe = 1,  // module header
    kFrameBlk = 2,  // one data block
    kFrameMen = 3,  // module end
    kFrameGen = 4,  // global end
    kFrameCnl = 5,  // cancel
    kFrameAck = 6,
    kFrameNak = 7,
};

enum ResponseKind : std::int32_t {
    kResponseBlk = 2,
    kResponseMen = 3,
    kResponseAck = 6,
    kResponseNak = 7,
    kResponsePrompt = 8,  // ">> "
    kResponseText = 9,    // anything else, and any run shorter than 3 bytes
};

inline constexpr std::size_t kGbeFrameLength = 36;
inline constexpr std::size_t kMbeFrameLength = 17;
inline constexpr std::size_t kCommandLength = 3;
inline constexpr std::size_t kBlkHeaderLength = 7;  // "BLK", block number, data length
inline constexpr std::size_t kBlkFrameLength = kBlockSize + 8;
inline constexpr std::size_t kLoaderIdLength = 32;  // bytes of the identifier on the wire
inline constexpr std::size_t kDestAddressCapacity = 31;

// What the session hands to BuildFrame for one frame. Value-initialise it
// (`FrameRequest request{};`), then set `type` and the fields of that frame.
struct FrameRequest {
    std::uint32_t type;
    std::uint32_t empty;                                     // MBE: slot holds no image
    std::int32_t kind;                                       // MBE: image kind 1 to 3
    std::array<std::uint8_t, kLoaderIdLength + 1> loaderId;  // GBE
    std::array<char, kDestAddressCapacity> destAddress;      // MBE: zero-terminated hex text
    const std::uint8_t* image;                               // MBE: whole image, for the checksum
    std::uint32_t blockCount;                                // MBE
    std::uint32_t imageLength;                               // MBE
    std::uint32_t blockNumber;                               // BLK
    std::uint32_t blockSize;                                 // BLK: size of the data area
    std::uint32_t dataLength;                                // BLK: 1 to blockSize
    const std::uint8_t* blockData;                           // BLK
};

// Writes the frame that `request.type` names at the start of `out` and returns
// the number of bytes to send; 0 means nothing is to be sent. Unknown types,
// an empty block, a request whose data does not fit its frame and a frame
// larger than `out` all give 0.
std::size_t BuildFrame(const FrameRequest& request, std::span<std::uint8_t> out);

// Sorts received bytes by their first three bytes.
ResponseKind ClassifyResponse(std::span<const std::uint8_t> received);

// Writes the two tag letters of an image kind (TagOfKind) into the first two
// bytes of `out`; writes nothing for an empty slot or a kind without a tag.
void ModuleTag(std::uint32_t empty, std::int32_t kind, std::span<char> out);

}  // namespace vantrel
