#include "tests/boxsim/tool_frames.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protocol/blocks.h"

namespace vantrel::test {
namespace {

std::vector<std::uint8_t> Build(const FrameRequest& request) {
    std::vector<std::uint8_t> frame(kBlkFrameLength, 0);
    frame.resize(BuildFrame(request, frame));
    return frame;
}

}  // namespace

std::vector<std::uint8_t> MakeModule(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 8));
    }
    return image;
}

std::uint32_t BlockCountOf(std::span<const std::uint8_t> image) {
    return static_cast<std::uint32_t>(BlocksOf(image.size()));
}

std::vector<std::uint8_t> HandshakeFrame() {
    FrameRequest request{};
    request.type = kFrameGbe;
    std::memcpy(request.loaderId.data(), "KOSMA_QRN", 10);
    return Build(request);
}

std::vector<std::uint8_t> HeaderFrame(std::span<const std::uint8_t> image, std::int32_t kind) {
    FrameRequest request{};
    request.type = kFrameMbe;
    request.kind = kind;
    request.blockCount = BlockCountOf(image);
    std::strcpy(request.destAddress.data(), "0x10000000");
    request.imageLength = static_cast<std::uint32_t>(image.size());
    request.image = image.data();
    return Build(request);
}

std::vector<std::uint8_t> BlockFrame(std::span<const std::uint8_t> image, std::uint32_t number) {
    FrameRequest request{};
    request.type = kFrameBlk;
    request.blockNumber = number;
    request.blockSize = kBlockSize;
    const std::size_t offset = std::size_t{number} * kBlockSize;
    request.dataLength =
        static_cast<std::uint32_t>(std::min<std::size_t>(kBlockSize, image.size() - offset));
    request.blockData = image.data() + offset;
    return Build(request);
}

std::vector<std::uint8_t> CommandFrame(FrameType type) {
    FrameRequest request{};
    request.type = type;
    return Build(request);
}

std::string WrittenText(const PeerSteps& steps) {
    std::string text;
    for (const PeerStep& step : steps) {
        text +=
            step.kind == PeerStep::Kind::kCloseLine ? std::string("<close>") : AsText(step.bytes);
    }
    return text;
}

std::string AsText(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace vantrel::test
