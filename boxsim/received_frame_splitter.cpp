#include "boxsim/received_frame_splitter.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace vantrel {
namespace {

struct ToolCommand {
    std::string_view letters;
    FrameType type;
    std::size_t length;
};

// What the tool sends: the update's frames, CNL, and ACK during readback.
constexpr ToolCommand kToolCommands[] = {
    {"GBE", kFrameGbe, kGbeFrameLength}, {"MBE", kFrameMbe, kMbeFrameLength},
    {"BLK", kFrameBlk, kBlkFrameLength}, {"MEN", kFrameMen, kCommandLength},
    {"GEN", kFrameGen, kCommandLength},  {"CNL", kFrameCnl, kCommandLength},
    {"ACK", kFrameAck, kCommandLength},
};

// The command that `bytes` begins with, also when only its first one or two
// letters have arrived.
std::optional<ToolCommand> CommandAt(std::span<const std::uint8_t> bytes) {
    const std::size_t compared = std::min(bytes.size(), kCommandLength);
    for (const ToolCommand& command : kToolCommands) {
        if (std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(compared),
                       command.letters.begin())) {
            return command;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<ReceivedItem> ReceivedFrameSplitter::Append(std::span<const std::uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    std::vector<ReceivedItem> items;
    const std::span<const std::uint8_t> all(m_pending);
    std::size_t pos = 0;
    while (pos < all.size()) {
        const auto rest = all.subspan(pos);
        if (const auto command = CommandAt(rest)) {
            if (rest.size() < command->length) {
                break;  // the rest of the frame is still on its way
            }
            const auto frame = rest.first(command->length);
            items.push_back(
                {ReceivedItem::Kind::kFrame, command->type, {frame.begin(), frame.end()}});
            pos += command->length;
            continue;
        }
        std::size_t skip = 1;
        while (pos + skip < all.size() && !CommandAt(all.subspan(pos + skip))) {
            ++skip;
        }
        const auto garbage = rest.first(skip);
        items.push_back(
            {ReceivedItem::Kind::kGarbage, kFrameGbe, {garbage.begin(), garbage.end()}});
        pos += skip;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(pos));
    return items;
}

PartialFrame ReceivedFrameSplitter::TakePartial() {
    PartialFrame partial{std::exchange(m_pending, {}), std::nullopt};
    if (partial.bytes.size() >= kCommandLength) {
        partial.type = CommandAt(partial.bytes)->type;
    }
    return partial;
}

}  // namespace vantrel
