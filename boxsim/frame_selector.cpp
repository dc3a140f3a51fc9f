#include "boxsim/frame_selector.h"

#include <charconv>

namespace vantrel {
namespace {

constexpr std::string_view kBlockPrefix = "block:";

constexpr struct {
    std::string_view name;
    FrameSelector::Frame frame;
} kNamedFrames[] = {
    {"handshake", FrameSelector::Frame::kHandshake},
    {"header", FrameSelector::Frame::kHeader},
    {"module-end", FrameSelector::Frame::kModuleEnd},
    {"global-end", FrameSelector::Frame::kGlobalEnd},
};

}  // namespace

std::optional<FrameSelector> ParseFrameSelector(std::string_view text) {
    for (const auto& entry : kNamedFrames) {
        if (text == entry.name) {
            return FrameSelector{entry.frame, 0};
        }
    }
    if (!text.starts_with(kBlockPrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(kBlockPrefix.size());
    std::uint16_t block = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), block);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return FrameSelector{FrameSelector::Frame::kBlock, block};
}

std::optional<std::vector<FrameSelector>> ParseFrameSelectorList(std::string_view text) {
    std::vector<FrameSelector> selectors;
    while (true) {
        const std::size_t comma = text.find(',');
        const auto selector = ParseFrameSelector(text.substr(0, comma));
        if (!selector) {
            return std::nullopt;
        }
        selectors.push_back(*selector);
        if (comma == std::string_view::npos) {
            return selectors;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string FrameSelectorName(const FrameSelector& selector) {
    if (selector.frame == FrameSelector::Frame::kBlock) {
        return std::string(kBlockPrefix) + std::to_string(selector.block);
    }
    for (const auto& entry : kNamedFrames) {
        if (entry.frame == selector.frame) {
            return std::string(entry.name);
        }
    }
    return {};
}

}  // namespace vantrel
