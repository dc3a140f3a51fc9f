#include "boxsim/frame_checks.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "boxsim/format_line.h"
#include "protocol/blocks.h"
#include "protocol/checksum.h"
#include "protocol/image_kind.h"

namespace vantrel {
namespace {

constexpr std::string_view kLoaderIdPrefix{"KOSMA_QRN\0", 10};

std::uint32_t ReadBE32(const std::uint8_t* bytes) {
    return (std::uint32_t{ReadBE16(bytes)} << 16) | ReadBE16(bytes + 2);
}

}  // namespace

ModuleHeader DecodeModuleHeader(std::span<const std::uint8_t> frame) {
    ModuleHeader header;
    std::copy_n(frame.begin(), kMbeFrameLength, header.frame.begin());
    header.kind = KindOfTag({reinterpret_cast<const char*>(&frame[3]), 2});
    header.blockCount = ReadBE16(&frame[5]);
    header.address = ReadBE32(&frame[7]);
    header.length = ReadBE32(&frame[11]);
    header.checksum = ReadBE16(&frame[15]);
    return header;
}

std::uint32_t ExpectedBlockLength(const ModuleHeader& header, std::uint32_t blockNumber) {
    const std::uint64_t offset = std::uint64_t{blockNumber} * kBlockSize;
    if (blockNumber >= header.blockCount || offset >= header.length) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kBlockSize, header.length - offset));
}

std::optional<std::string> CheckHandshake(std::span<const std::uint8_t> frame) {
    if (frame[3] != 0x01) {
        return FormatLine("GBE: byte 3 is 0x%02X, expected 0x01", frame[3]);
    }
    if (!std::equal(kLoaderIdPrefix.begin(), kLoaderIdPrefix.end(), frame.begin() + 4)) {
        return "GBE: the loader identifier does not begin with \"KOSMA_QRN\" and a NUL";
    }
    return std::nullopt;
}

std::optional<std::string> CheckModuleHeader(const ModuleHeader& header) {
    if (header.kind == 0) {
        return FormatLine("MBE: unknown module tag 0x%02X 0x%02X", header.frame[3],
                          header.frame[4]);
    }
    if (header.length == 0) {
        return "MBE: the module length is 0";
    }
    if (BlocksOf(header.length) != header.blockCount) {
        return FormatLine("MBE: block count %u does not match the length %u (%u blocks)",
                          header.blockCount, header.length, BlocksOf(header.length));
    }
    return std::nullopt;
}

std::optional<std::string> CheckBlock(std::span<const std::uint8_t> frame,
                                      const ModuleHeader& header, std::uint32_t expectedNumber) {
    const std::uint32_t number = ReadBE16(&frame[3]);
    const std::uint32_t length = ReadBE16(&frame[5]);
    if (number != expectedNumber) {
        return FormatLine("BLK %u: out of order, expected block %u", number, expectedNumber);
    }
    const std::uint32_t expectedLength = ExpectedBlockLength(header, number);
    if (expectedLength == 0) {
        return FormatLine("BLK %u: beyond the %u blocks of the module header", number,
                          header.blockCount);
    }
    if (length != expectedLength) {
        return FormatLine("BLK %u: data length %u, expected %u", number, length, expectedLength);
    }
    FrameRequest request{};
    request.type = kFrameBlk;
    request.blockNumber = number;
    request.blockSize = kBlockSize;
    request.dataLength = length;
    request.blockData = &frame[kBlkHeaderLength];
    std::array<std::uint8_t, kBlkFrameLength> rebuilt{};
    BuildFrame(request, rebuilt);
    const auto differs = std::mismatch(rebuilt.begin(), rebuilt.end(), frame.begin()).first;
    if (differs == rebuilt.end()) {
        return std::nullopt;
    }
    // Command, number, length and data match by now: only the fill or the
    // checksum can differ.
    const auto offset = static_cast<std::size_t>(differs - rebuilt.begin());
    if (offset < kBlkFrameLength - 1) {
        return FormatLine("BLK %u: byte %zu of the fill after the data is 0x%02X, expected 0",
                          number, offset, frame[offset]);
    }
    return FormatLine("BLK %u: checksum 0x%02X, Sum8 of the data is 0x%02X", number,
                      frame[kBlkFrameLength - 1], rebuilt[kBlkFrameLength - 1]);
}

std::optional<std::string> CheckModuleEnd(const ModuleHeader& header,
                                          std::span<const std::uint8_t> module,
                                          std::uint32_t blocks) {
    if (blocks != header.blockCount) {
        return FormatLine("MEN: after %u of the %u blocks of the module header", blocks,
                          header.blockCount);
    }
    if (module.size() != header.length) {
        return FormatLine("MEN: %zu bytes arrived, the module header announced %u", module.size(),
                          header.length);
    }
    FrameRequest request{};
    request.type = kFrameMbe;
    request.kind = header.kind;
    request.blockCount = blocks;
    std::snprintf(request.destAddress.data(), request.destAddress.size(), "0x%08X", header.address);
    request.imageLength = static_cast<std::uint32_t>(module.size());
    request.image = module.data();
    std::array<std::uint8_t, kMbeFrameLength> rebuilt{};
    BuildFrame(request, rebuilt);
    if (rebuilt == header.frame) {
        return std::nullopt;
    }
    // Tag, count, address and length are the header's own by now: only the
    // module's checksum can differ.
    return FormatLine("MEN: Sum16 of the module is 0x%04X, the module header announced 0x%04X",
                      Sum16(module), header.checksum);
}

}  // namespace vantrel
