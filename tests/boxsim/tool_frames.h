#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "boxsim/peer_step.h"
#include "protocol/frame_codec.h"

namespace vantrel::test {

// The tool's frames for one update of `image`, built by the codec.
std::vector<std::uint8_t> MakeModule(std::size_t length, std::uint8_t seed = 1);
std::uint32_t BlockCountOf(std::span<const std::uint8_t> image);
std::vector<std::uint8_t> HandshakeFrame();
std::vector<std::uint8_t> HeaderFrame(std::span<const std::uint8_t> image, std::int32_t kind = 1);
std::vector<std::uint8_t> BlockFrame(std::span<const std::uint8_t> image, std::uint32_t number);
std::vector<std::uint8_t> CommandFrame(FrameType type);

// Everything the steps write, in order, as text; closing the line shows as
// "<close>".
std::string WrittenText(const PeerSteps& steps);
std::string AsText(std::span<const std::uint8_t> bytes);

}  // namespace vantrel::test
