#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/frame_codec.h"

namespace vantrel {

// The module header as the tool sent it, and its fields.
struct ModuleHeader {
    std::array<std::uint8_t, kMbeFrameLength> frame{};
    std::int32_t kind = 0;  // 0 when the tag names no kind
    std::uint16_t blockCount = 0;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    std::uint16_t checksum = 0;
};

ModuleHeader DecodeModuleHeader(std::span<const std::uint8_t> frame);

// Number of data bytes that block `blockNumber` of the module carries; 0 for a
// block beyond the module.
std::uint32_t ExpectedBlockLength(const ModuleHeader& header, std::uint32_t blockNumber);

// Each check returns nothing when the frame is right, else one line that
// names the frame and the check it failed.
std::optional<std::string> CheckHandshake(std::span<const std::uint8_t> frame);
std::optional<std::string> CheckModuleHeader(const ModuleHeader& header);
std::optional<std::string> CheckBlock(std::span<const std::uint8_t> frame,
                                      const ModuleHeader& header, std::uint32_t expectedNumber);
// At the module end: the module that arrived in `blocks` blocks against its
// header, which is rebuilt from the module and compared byte for byte.
std::optional<std::string> CheckModuleEnd(const ModuleHeader& header,
                                          std::span<const std::uint8_t> module,
                                          std::uint32_t blocks);

}  // namespace vantrel
