#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Names one frame of an update as the tool sends it, so that a fault can be
// aimed at it: "handshake", "header", "block:N", "module-end", "global-end".
struct FrameSelector {
    enum class Frame { kHandshake, kHeader, kBlock, kModuleEnd, kGlobalEnd };

    Frame frame = Frame::kHandshake;
    std::uint16_t block = 0;  // only for kBlock

    bool operator==(const FrameSelector&) const = default;
};

std::optional<FrameSelector> ParseFrameSelector(std::string_view text);

// A comma-separated list; nullopt when any entry is not a frame name.
std::optional<std::vector<FrameSelector>> ParseFrameSelectorList(std::string_view text);

std::string FrameSelectorName(const FrameSelector& selector);

}  // namespace vantrel
