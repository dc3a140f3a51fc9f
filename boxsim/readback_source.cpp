#include "boxsim/readback_source.h"

#include <algorithm>

#include "protocol/blocks.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"

namespace vantrel {

std::vector<std::uint8_t> BuildReadbackBlock(std::span<const std::uint8_t> data,
                                             std::uint16_t blockNumber, bool badChecksum) {
    FrameRequest request{};
    request.type = kFrameBlk;
    request.blockNumber = blockNumber;
    request.blockSize = kBlockSize;
    request.dataLength = static_cast<std::uint32_t>(data.size());
    request.blockData = data.data();
    std::vector<std::uint8_t> frame(kBlkFrameLength, 0);
    BuildFrame(request, frame);
    const std::size_t last = kBlkFrameLength - 1;
    frame[last] = Sum8(std::span(frame).first(last));
    if (badChecksum) {
        frame[last] = static_cast<std::uint8_t>(frame[last] + 1);
    }
    return frame;
}

ReadbackSource::ReadbackSource(std::vector<std::uint8_t> data, std::vector<std::uint16_t> badBlocks)
    : m_data(std::move(data)), m_badBlocks(std::move(badBlocks)) {}

std::size_t ReadbackSource::BlockCount() const {
    return BlocksOf(m_data.size());
}

bool ReadbackSource::IsBad(std::size_t index) const {
    return std::find(m_badBlocks.begin(), m_badBlocks.end(), index) != m_badBlocks.end();
}

std::vector<std::uint8_t> ReadbackSource::Block(std::size_t index) const {
    const std::size_t offset = index * kBlockSize;
    const std::size_t length = std::min<std::size_t>(kBlockSize, m_data.size() - offset);
    return BuildReadbackBlock(std::span(m_data).subspan(offset, length),
                              static_cast<std::uint16_t>(index), IsBad(index));
}

}  // namespace vantrel
