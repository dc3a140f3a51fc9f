// The stand-in's side of the line: its frame splitter and the boot-loader
// peer, fed what the tool might send, in chunks, with silences between them.
//
// Input layout:
//   byte 0    peer switches: bit 0 bench, 1 readback, 2 split answers,
//             3 console text, 4 random NAKs, 5 NAKs on the header and block 1,
//             6 block 0 left unanswered, 7 the line vanishes at the module end
//   byte 1    bits 0-1 readback size (see kReadbackSizes), bit 2 readback
//             block 0 bad, bit 3 block 1 bad, bit 4 pacing at 115200 baud,
//             bit 5 "BOOT" announced before the first chunk, bit 6 the tool
//             closes the line after the last chunk
//   byte 2    bits 0-2: how many chunk lengths follow (0: the rest is one chunk)
//   n bytes   chunk lengths, taken in turn: b cuts (b & 0x7f) + 1 bytes, and
//             bit 7 lets the stand-in's idle timeout (if any) pass after the chunk
//   the rest  the tool's bytes

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "boxsim/boot_loader_peer.h"
#include "boxsim/peer_options.h"
#include "boxsim/peer_step.h"
#include "boxsim/received_frame_splitter.h"
#include "fuzz/fuzz_support.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"

namespace vantrel {
namespace {

using fuzz::Require;

constexpr std::size_t kReadbackSizes[] = {0, 100, kBlockSize, 2 * kBlockSize + 52};

struct ToolWord {
    std::string_view letters;
    FrameType type;
    std::size_t length;
};

// What the tool sends, and the length of each.
constexpr ToolWord kToolWords[] = {
    {"GBE", kFrameGbe, kGbeFrameLength}, {"MBE", kFrameMbe, kMbeFrameLength},
    {"BLK", kFrameBlk, kBlkFrameLength}, {"MEN", kFrameMen, kCommandLength},
    {"GEN", kFrameGen, kCommandLength},  {"CNL", kFrameCnl, kCommandLength},
    {"ACK", kFrameAck, kCommandLength},
};

bool Starts(std::span<const std::uint8_t> bytes, std::string_view word) {
    return bytes.size() >= word.size() && std::memcmp(bytes.data(), word.data(), word.size()) == 0;
}

// The splitter loses no byte and invents none: its items and what it holds
// back are exactly what arrived, in order.
class SplitterCheck {
  public:
    void Append(std::span<const std::uint8_t> bytes) {
        m_arrived.insert(m_arrived.end(), bytes.begin(), bytes.end());
        for (const ReceivedItem& item : m_splitter.Append(bytes)) {
            Require(!item.bytes.empty(), "no empty item");
            if (item.kind == ReceivedItem::Kind::kFrame) {
                const auto word =
                    std::find_if(std::begin(kToolWords), std::end(kToolWords),
                                 [&](const ToolWord& w) { return Starts(item.bytes, w.letters); });
                Require(word != std::end(kToolWords), "a frame begins with a command");
                Require(word->type == item.type && word->length == item.bytes.size(),
                        "a frame has its command's type and length");
            } else {
                Require(
                    std::none_of(std::begin(kToolWords), std::end(kToolWords),
                                 [&](const ToolWord& w) { return Starts(item.bytes, w.letters); }),
                    "skipped bytes begin no command");
            }
            m_split.insert(m_split.end(), item.bytes.begin(), item.bytes.end());
        }
    }

    void Finish() {
        const bool hadPartial = m_splitter.HasPartial();
        const PartialFrame partial = m_splitter.TakePartial();
        Require(hadPartial == !partial.bytes.empty(), "HasPartial tells of held bytes");
        Require(partial.type.has_value() == (partial.bytes.size() >= kCommandLength),
                "a held frame's type is known from its third byte");
        Require(!m_splitter.HasPartial(), "nothing held after TakePartial");
        m_split.insert(m_split.end(), partial.bytes.begin(), partial.bytes.end());
        Require(m_split == m_arrived, "every byte arrived comes out once, in order");
    }

  private:
    ReceivedFrameSplitter m_splitter;
    std::vector<std::uint8_t> m_arrived;
    std::vector<std::uint8_t> m_split;
};

class PeerCheck {
  public:
    explicit PeerCheck(PeerOptions options)
        : m_plainAnswers(!options.splitAnswers && options.consoleText.empty()),
          m_paced(options.pacingBaud != 0 || options.splitAnswers || !options.consoleText.empty()),
          m_canVanish(!options.vanishFrames.empty()),
          m_badBlocks(options.readbackBadBlocks),
          m_peer(std::move(options)) {}

    BootLoaderPeer& Peer() { return m_peer; }

    void Receive(std::span<const std::uint8_t> bytes) {
        const bool finished = m_peer.Finished();
        const PeerSteps steps = m_peer.Receive(bytes);
        m_received += bytes.size();
        Require(m_peer.Counters().bytesReceived == m_received, "every byte counted");
        Require(!finished || steps.empty(), "nothing more once the run has ended");
        Check(steps);
    }

    // The line stays quiet until the stand-in's idle timeout, if it has one.
    void Silence() {
        if (!m_peer.IdleTimeout()) {
            return;
        }
        const bool finished = m_peer.Finished();
        const PeerSteps steps = m_peer.OnIdleTimeout();
        Require(!finished || steps.empty(), "nothing more once the run has ended");
        Check(steps);
    }

  private:
    void Check(const PeerSteps& steps) {
        for (const PeerStep& step : steps) {
            switch (step.kind) {
                case PeerStep::Kind::kCloseLine:
                    Require(m_canVanish, "the line closes only when asked to");
                    break;
                case PeerStep::Kind::kPause:
                    Require(m_paced, "pauses only for pacing, console text or split answers");
                    break;
                case PeerStep::Kind::kWrite:
                    Require(!step.bytes.empty(), "no empty write");
                    if (m_plainAnswers) {
                        CheckWrite(step.bytes);
                    }
                    break;
            }
        }
        for (const std::string& report : m_peer.TakeReports()) {
            Require(!report.empty(), "no empty report line");
        }
    }

    void CheckWrite(std::span<const std::uint8_t> bytes) const {
        if (bytes.size() == kBlkFrameLength) {
            Require(Starts(bytes, "BLK"), "a readback block");
            const std::uint16_t number = ReadBE16(&bytes[3]);
            const bool bad =
                std::find(m_badBlocks.begin(), m_badBlocks.end(), number) != m_badBlocks.end();
            const auto sum =
                static_cast<std::uint8_t>(Sum8(bytes.first(kBlkFrameLength - 1)) + (bad ? 1 : 0));
            Require(bytes.back() == sum, "a readback block's checksum, wrong only when asked");
            Require(ReadBE16(&bytes[5]) <= kBlockSize, "a readback block's data length");
            return;
        }
        Require(bytes.size() == 4
                    ? Starts(bytes, "BOOT")
                    : bytes.size() == kCommandLength &&
                          (Starts(bytes, "ACK") || Starts(bytes, "NAK") || Starts(bytes, "MEN")),
                "the stand-in writes BOOT, ACK, NAK, MEN or a block");
    }

    const bool m_plainAnswers;
    const bool m_paced;
    const bool m_canVanish;
    const std::vector<std::uint16_t> m_badBlocks;
    BootLoaderPeer m_peer;
    std::uint64_t m_received = 0;
};

PeerOptions OptionsFrom(std::uint8_t switches, std::uint8_t more) {
    PeerOptions options;
    options.bench = (switches & 0x01) != 0;
    if ((switches & 0x02) != 0) {
        std::vector<std::uint8_t> readback(kReadbackSizes[more & 0x03]);
        for (std::size_t i = 0; i < readback.size(); ++i) {
            readback[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
        options.readback = std::move(readback);
        if ((more & 0x04) != 0) {
            options.readbackBadBlocks.push_back(0);
        }
        if ((more & 0x08) != 0) {
            options.readbackBadBlocks.push_back(1);
        }
    }
    options.splitAnswers = (switches & 0x04) != 0;
    if ((switches & 0x08) != 0) {
        options.consoleText = ">> ready\r\n";
        options.consoleEvery = 2;
    }
    if ((switches & 0x10) != 0) {
        options.nakProbability = 0.25;
        options.nakSeed = 7;
    }
    if ((switches & 0x20) != 0) {
        options.nakFrames = {{FrameSelector::Frame::kHeader, 0}, {FrameSelector::Frame::kBlock, 1}};
    }
    if ((switches & 0x40) != 0) {
        options.silentFrames = {{FrameSelector::Frame::kBlock, 0}};
    }
    if ((switches & 0x80) != 0) {
        options.vanishFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    }
    if ((more & 0x10) != 0) {
        options.pacingBaud = 115200;
    }
    return options;
}

}  // namespace
}  // namespace vantrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    if (size < 3) {
        return 0;
    }
    const std::uint8_t switches = data[0];
    const std::uint8_t more = data[1];
    const std::size_t lengthCount = std::min<std::size_t>(data[2] & 0x07, size - 3);
    const std::span<const std::uint8_t> lengths(data + 3, lengthCount);
    std::span<const std::uint8_t> stream(data + 3 + lengthCount, size - 3 - lengthCount);
    const PeerOptions options = OptionsFrom(switches, more);
    const bool bench = options.bench;

    SplitterCheck splitter;
    PeerCheck peer(options);
    peer.Peer().Start();
    if ((more & 0x20) != 0) {
        peer.Silence();
    }
    for (std::size_t next = 0; !stream.empty(); ++next) {
        const std::uint8_t length = lengths.empty() ? 0x7f : lengths[next % lengths.size()];
        const std::size_t cut = lengths.empty() ? stream.size() : std::size_t{length & 0x7fu} + 1;
        const auto chunk = stream.first(std::min(cut, stream.size()));
        stream = stream.subspan(chunk.size());
        splitter.Append(chunk);
        // A stand-in whose line vanished reads nothing more.
        if (!peer.Peer().Vanished()) {
            peer.Receive(chunk);
            if ((length & 0x80) != 0) {
                peer.Silence();
            }
        }
    }
    splitter.Finish();
    if ((more & 0x40) != 0 && !peer.Peer().Vanished()) {
        peer.Peer().LineClosed();
        if (bench) {
            // In bench mode the tool opens the line again for the next update.
            peer.Peer().Start();
            peer.Silence();
        }
    }
    return 0;
}
