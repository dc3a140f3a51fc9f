#include "boxsim/boot_loader_peer.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/boxsim/tool_frames.h"

namespace vantrel {
namespace {

using Frame = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// 2500 bytes: two full blocks and a short last one.
const Frame kModule = test::MakeModule(2500);

// One exchange of a road: the tool sends `input` (or, when it is empty, the
// stand-in's idle timeout fires) and the stand-in writes `answer`.
struct Exchange {
    Frame input;
    std::string answer;
};

Exchange Send(Frame input, std::string answer) {
    return {std::move(input), std::move(answer)};
}
Exchange Timeout(std::string answer) {
    return {{}, std::move(answer)};
}

Frame Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

Frame FirstBytes(Frame frame, std::size_t count) {
    frame.resize(count);
    return frame;
}

Frame WithByte(Frame frame, std::size_t offset, std::uint8_t value) {
    frame[offset] = value;
    return frame;
}

// The exchanges of a whole update of kModule from "BOOT" to the global end,
// each list of `inserts` put in before the exchange at its index.
std::vector<Exchange> Update(
    std::vector<std::pair<std::size_t, std::vector<Exchange>>> inserts = {}) {
    std::vector<Exchange> road = {
        Timeout("BOOT"),
        Send(test::HandshakeFrame(), "ACK"),
        Send(test::HeaderFrame(kModule), "ACK"),
        Send(test::BlockFrame(kModule, 0), "ACK"),
        Send(test::BlockFrame(kModule, 1), "ACK"),
        Send(test::BlockFrame(kModule, 2), "ACK"),
        Send(test::CommandFrame(kFrameMen), "ACK"),
        Send(test::CommandFrame(kFrameGen), "ACK"),
    };
    // Later positions first, so that earlier ones keep their index.
    for (auto it = inserts.rbegin(); it != inserts.rend(); ++it) {
        road.insert(road.begin() + static_cast<std::ptrdiff_t>(it->first), it->second.begin(),
                    it->second.end());
    }
    return road;
}

// The road up to the exchange at `end` (not included).
std::vector<Exchange> UpdateUntil(std::size_t end, std::vector<Exchange> then) {
    std::vector<Exchange> road = Update();
    road.resize(end);
    road.insert(road.end(), then.begin(), then.end());
    return road;
}

constexpr std::size_t kAtHeader = 2;
constexpr std::size_t kAtBlock0 = 3;
constexpr std::size_t kAtBlock1 = 4;

struct RoadCase {
    const char* name;
    std::function<void(PeerOptions&)> configure;
    std::vector<Exchange> road;
    std::function<void(const PeerCounters&, const BootLoaderPeer&)> verify;
};

// Names the case in test listings.
void PrintTo(const RoadCase& c, std::ostream* out) {
    *out << c.name;
}

class PeerRoadTest : public ::testing::TestWithParam<RoadCase> {};

TEST_P(PeerRoadTest, AnswersEachFrameAsTheRoadGoes) {
    const RoadCase& c = GetParam();
    PeerOptions options;
    options.bootDelay = milliseconds{0};
    if (c.configure) {
        c.configure(options);
    }
    BootLoaderPeer peer(options);
    peer.Start();
    for (std::size_t i = 0; i < c.road.size(); ++i) {
        const Exchange& exchange = c.road[i];
        const PeerSteps steps =
            exchange.input.empty() ? peer.OnIdleTimeout() : peer.Receive(exchange.input);
        EXPECT_EQ(test::WrittenText(steps), exchange.answer) << "exchange " << i;
    }
    c.verify(peer.Counters(), peer);
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, PeerRoadTest,
    ::testing::Values(
        RoadCase{"a_resend_that_differs_from_the_refused_frame_fails_a_check",
                 [](PeerOptions& o) {
                     o.nakFrames = {{FrameSelector::Frame::kHeader, 0}};
                 },
                 Update({{kAtHeader,
                          {Send(test::HeaderFrame(kModule), "NAK"),
                           Send(test::HeaderFrame(kModule, 2), "NAK")}}}),
                 [](const PeerCounters& n, const BootLoaderPeer&) {
                     EXPECT_EQ(n.checkFailures, 1u);
                     EXPECT_EQ(n.updatesUnverified, 1u);
                 }},
        RoadCase{"a_module_that_fails_its_checksum_is_refused_at_the_module_end", nullptr,
                 UpdateUntil(kAtBlock1,
                             // Byte 1500 was 170: the block carries its own checksum, the
                             // module no longer fits the header's.
                             {Send(test::BlockFrame(WithByte(kModule, 1500, 171), 1), "ACK"),
                              Send(test::BlockFrame(kModule, 2), "ACK"),
                              Send(test::CommandFrame(kFrameMen), "NAK"),
                              Send(test::CommandFrame(kFrameGen), "")}),
                 [](const PeerCounters& n, const BootLoaderPeer& peer) {
                     EXPECT_EQ(n.checkFailures, 1u);
                     EXPECT_EQ(n.updatesFailed, 1u);
                     EXPECT_TRUE(peer.Finished());
                 }},
        RoadCase{"a_silenced_handshake_is_answered_when_sent_again",
                 [](PeerOptions& o) {
                     o.silentFrames = {{FrameSelector::Frame::kHandshake, 0}};
                 },
                 Update({{1, {Send(test::HandshakeFrame(), "")}}}),
                 [](const PeerCounters& n, const BootLoaderPeer&) {
                     EXPECT_EQ(n.framesIgnored, 1u);
                     EXPECT_EQ(n.updatesVerified, 1u);
                 }},
        RoadCase{"garbage_is_reported_and_the_frame_after_it_answered", nullptr,
                 Update({{1, {Send(Bytes("\r\nxx"), "")}}}),
                 [](const PeerCounters& n, const BootLoaderPeer&) {
                     EXPECT_EQ(n.garbageBytes, 4u);
                     EXPECT_EQ(n.checkFailures, 1u);
                 }},
        RoadCase{
            "an_incomplete_frame_is_refused_once_the_line_goes_quiet", nullptr,
            Update({{kAtBlock0,
                     {Send(FirstBytes(test::BlockFrame(kModule, 0), 600), ""), Timeout("NAK")}}}),
            [](const PeerCounters& n, const BootLoaderPeer&) {
                EXPECT_EQ(n.checkFailures, 1u);
                EXPECT_EQ(n.updatesUnverified, 1u);
            }},
        RoadCase{"a_block_refused_for_ever_is_refused_at_every_arrival",
                 [](PeerOptions& o) {
                     o.nakAlwaysFrames = {{FrameSelector::Frame::kBlock, 1}};
                 },
                 UpdateUntil(kAtBlock1, {Send(test::BlockFrame(kModule, 1), "NAK"),
                                         Send(test::BlockFrame(kModule, 1), "NAK"),
                                         Send(test::BlockFrame(kModule, 1), "NAK")}),
                 [](const PeerCounters& n, const BootLoaderPeer& peer) {
                     EXPECT_EQ(n.naksSent, 3u);
                     EXPECT_EQ(n.blocksAccepted, 1u);
                     EXPECT_EQ(n.checkFailures, 0u);
                     EXPECT_EQ(peer.CurrentState(), BootLoaderPeer::State::kBlocks);
                 }},
        RoadCase{"a_box_that_starts_again_answers_boot_and_serves_a_whole_new_update",
                 [](PeerOptions& o) {
                     o.restartFrames = {{FrameSelector::Frame::kBlock, 1}};
                 },
                 [] {
                     std::vector<Exchange> road =
                         UpdateUntil(kAtBlock1, {Send(test::BlockFrame(kModule, 1), "BOOT")});
                     const std::vector<Exchange> fresh = Update();
                     road.insert(road.end(), fresh.begin() + 1, fresh.end());
                     return road;
                 }(),
                 [](const PeerCounters& n, const BootLoaderPeer& peer) {
                     EXPECT_EQ(n.restarts, 1u);
                     EXPECT_EQ(n.bootsAnnounced, 2u);
                     EXPECT_EQ(n.updatesVerified, 1u);
                     EXPECT_EQ(n.checkFailures, 0u);
                     EXPECT_TRUE(peer.Finished());
                 }},
        RoadCase{
            "bench_mode_starts_over_after_an_update", [](PeerOptions& o) { o.bench = true; },
            Update({{8, {Timeout("BOOT"), Timeout("BOOT"), Send(test::HandshakeFrame(), "ACK")}}}),
            [](const PeerCounters& n, const BootLoaderPeer& peer) {
                EXPECT_EQ(n.updatesVerified, 1u);
                EXPECT_EQ(n.bootsAnnounced, 3u);
                EXPECT_EQ(peer.CurrentState(), BootLoaderPeer::State::kWaitHeader);
            }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoxSimPeer, GivesUpAfterTheLastRefusalInARow) {
    PeerOptions options;
    BootLoaderPeer peer(options);
    peer.Start();
    const Frame bad = WithByte(test::HandshakeFrame(), 3, 0);
    for (int i = 1; i < BootLoaderPeer::kMaxRefusalsInARow; ++i) {
        EXPECT_EQ(test::WrittenText(peer.Receive(bad)), "NAK");
    }
    EXPECT_EQ(test::WrittenText(peer.Receive(bad)), "");
    EXPECT_TRUE(peer.Finished());
    EXPECT_EQ(peer.Counters().updatesFailed, 1u);
}

// Runs one update with random NAKs, each refused frame sent again, and
// returns the frames that were refused, in order.
std::vector<std::string> RandomNakPattern(std::uint32_t seed, PeerCounters& counters) {
    PeerOptions options;
    options.nakProbability = 0.5;
    options.nakSeed = seed;
    BootLoaderPeer peer(options);
    peer.Start();
    peer.OnIdleTimeout();
    const Frame module = test::MakeModule(65 * 1024);
    std::vector<Frame> frames = {test::HandshakeFrame(), test::HeaderFrame(module)};
    for (std::uint32_t n = 0; n < 65; ++n) {
        frames.push_back(test::BlockFrame(module, n));
    }
    frames.push_back(test::CommandFrame(kFrameMen));
    frames.push_back(test::CommandFrame(kFrameGen));
    std::vector<std::string> refused;
    for (const Frame& frame : frames) {
        std::string answer;
        while ((answer = test::WrittenText(peer.Receive(frame))) == "NAK") {
            refused.push_back(test::AsText(frame).substr(0, 5));
        }
        EXPECT_EQ(answer, "ACK");
    }
    counters = peer.Counters();
    return refused;
}

TEST(BoxSimPeer, RandomNaksFollowTheSeedAndTheUpdateStillVerifies) {
    PeerCounters first;
    PeerCounters again;
    PeerCounters other;
    const auto pattern = RandomNakPattern(7, first);
    EXPECT_EQ(RandomNakPattern(7, again), pattern);
    EXPECT_NE(RandomNakPattern(8, other), pattern);
    EXPECT_EQ(first.updatesVerified, 1u);
    EXPECT_EQ(first.naksSent, pattern.size());
    // 67 frames that can be refused, each with one chance in two per try.
    EXPECT_GT(pattern.size(), 20u);
    EXPECT_LT(pattern.size(), 140u);
}

struct TimeoutCase {
    const char* name;
    std::function<void(PeerOptions&)> configure;
    std::vector<Frame> received;
    std::optional<milliseconds> timeout;
};

// Names the case in test listings.
void PrintTo(const TimeoutCase& c, std::ostream* out) {
    *out << c.name;
}

class PeerTimeoutTest : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(PeerTimeoutTest, WaitsForTheRightThing) {
    const TimeoutCase& c = GetParam();
    PeerOptions options;
    options.bootDelay = milliseconds{250};
    options.announceInterval = milliseconds{900};
    if (c.configure) {
        c.configure(options);
    }
    BootLoaderPeer peer(options);
    peer.Start();
    for (const Frame& frame : c.received) {
        peer.Receive(frame);
    }
    EXPECT_EQ(peer.IdleTimeout(), c.timeout);
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, PeerTimeoutTest,
    ::testing::Values(TimeoutCase{"boot_delay_after_the_open", nullptr, {}, milliseconds{250}},
                      TimeoutCase{"a_frame_before_boot_is_answered_all_the_same",
                                  nullptr,
                                  {test::HandshakeFrame()},
                                  std::nullopt},
                      TimeoutCase{"a_waiting_box_waits_for_ever",
                                  nullptr,
                                  {test::HandshakeFrame(), test::HeaderFrame(kModule)},
                                  std::nullopt},
                      TimeoutCase{"a_frame_on_its_way_is_given_the_frame_gap",
                                  nullptr,
                                  {test::HandshakeFrame(), Bytes("MBE")},
                                  BootLoaderPeer::kFrameGapTimeout},
                      TimeoutCase{"the_shorter_of_boot_delay_and_frame_gap",
                                  [](PeerOptions& o) { o.bootDelay = milliseconds{2000}; },
                                  {Bytes("GB")},
                                  BootLoaderPeer::kFrameGapTimeout},
                      TimeoutCase{"bench_mode_gives_up_a_silent_update",
                                  [](PeerOptions& o) { o.bench = true; },
                                  {test::HandshakeFrame()},
                                  BootLoaderPeer::kBenchSilenceLimit}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrel
