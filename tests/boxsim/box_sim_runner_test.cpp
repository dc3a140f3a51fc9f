#include "boxsim/box_sim_runner.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "boxsim/serial_device_line.h"
#include "protocol/checksum.h"
#include "tests/boxsim/running_sim.h"
#include "tests/boxsim/tool_frames.h"

namespace vantrel {
namespace {

using Frame = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
using test::RunningSim;
using test::ToolSide;

PeerOptions Quick() {
    PeerOptions options;
    options.bootDelay = milliseconds{0};
    return options;
}

bool HasReport(const RunResult& result, std::string_view text) {
    return std::ranges::any_of(result.reports, [text](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

// Sends `frame` and returns the answer, `answerLength` bytes at most.
std::string Exchange(ToolSide& tool, const Frame& frame, std::size_t answerLength = 3) {
    tool.Send(frame);
    return tool.Read(answerLength);
}

// The tool's side of a whole update after "BOOT": every answer must read
// `answer`.
void DriveUpdate(ToolSide& tool, const Frame& module, const std::string& answer = "ACK") {
    ASSERT_EQ(Exchange(tool, test::HandshakeFrame(), answer.size()), answer);
    ASSERT_EQ(Exchange(tool, test::HeaderFrame(module), answer.size()), answer);
    for (std::uint32_t n = 0; n < test::BlockCountOf(module); ++n) {
        ASSERT_EQ(Exchange(tool, test::BlockFrame(module, n), answer.size()), answer) << n;
    }
    ASSERT_EQ(Exchange(tool, test::CommandFrame(kFrameMen), answer.size()), answer);
    ASSERT_EQ(Exchange(tool, test::CommandFrame(kFrameGen), answer.size()), answer);
}

struct GoodUpdateCase {
    const char* name;
    std::size_t moduleLength;
    std::function<void(PeerOptions&)> configure;
    std::string answer;  // as the tool reads each answer
};

// Names the case in test listings.
void PrintTo(const GoodUpdateCase& c, std::ostream* out) {
    *out << c.name;
}

class GoodUpdateTest : public ::testing::TestWithParam<GoodUpdateCase> {};

TEST_P(GoodUpdateTest, ArrivesWholeAndVerifies) {
    const GoodUpdateCase& c = GetParam();
    PeerOptions options = Quick();
    if (c.configure) {
        c.configure(options);
    }
    RunningSim sim(options);
    ASSERT_FALSE(sim.Path().empty());
    const Frame module = test::MakeModule(c.moduleLength);
    ASSERT_EQ(sim.Tool().Read(4), "BOOT");
    DriveUpdate(sim.Tool(), module, c.answer);
    // Counters are published before each answer goes out.
    EXPECT_EQ(sim.Runner().Progress().counters.updatesVerified, 1u);

    const RunResult result = sim.Finish();
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
    EXPECT_EQ(result.end, RunResult::End::kFinished);
    EXPECT_EQ(result.counters.blocksAccepted, test::BlockCountOf(module));
    EXPECT_EQ(result.counters.framesReceived, test::BlockCountOf(module) + 4);
    ASSERT_TRUE(result.receivedModule.has_value());
    EXPECT_EQ(*result.receivedModule, module);
    EXPECT_EQ(result.bytesWritten, 4 + (test::BlockCountOf(module) + 4) * c.answer.size());
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, GoodUpdateTest,
    ::testing::Values(GoodUpdateCase{"three_blocks_the_last_one_short", 2500, nullptr, "ACK"},
                      GoodUpdateCase{"a_loader_of_65_blocks", 65 * 1024, nullptr, "ACK"},
                      GoodUpdateCase{"answers_paced_at_115200_baud", 2500,
                                     [](PeerOptions& o) { o.pacingBaud = 115200; }, "ACK"},
                      GoodUpdateCase{"console_text_and_answers_in_pieces", 2500,
                                     [](PeerOptions& o) {
                                         o.consoleText = "ok\r\n";
                                         o.splitAnswers = true;
                                         o.pieceGap = milliseconds{5};
                                     },
                                     "ok\r\nACK"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoxSimRunner, CorruptedBlockIsRefusedAndFailsTheRun) {
    RunningSim sim(Quick());
    ToolSide& tool = sim.Tool();
    const Frame module = test::MakeModule(3000);
    ASSERT_EQ(tool.Read(4), "BOOT");
    ASSERT_EQ(Exchange(tool, test::HandshakeFrame()), "ACK");
    ASSERT_EQ(Exchange(tool, test::HeaderFrame(module)), "ACK");
    ASSERT_EQ(Exchange(tool, test::BlockFrame(module, 0)), "ACK");
    Frame corrupted = test::BlockFrame(module, 1);
    corrupted[200] ^= 0x40;
    EXPECT_EQ(Exchange(tool, corrupted), "NAK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 1)), "ACK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 2)), "ACK");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameMen)), "ACK");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameGen)), "ACK");

    const RunResult result = sim.Finish();
    EXPECT_FALSE(RunSucceeded(result));
    EXPECT_EQ(result.counters.checkFailures, 1u);
    EXPECT_TRUE(HasReport(result, "BLK 1: checksum")) << FormatRunSummary(result);
    EXPECT_EQ(*result.receivedModule, module);
}

TEST(BoxSimRunner, RefusedHeaderAndBlockAreAcceptedWhenSentAgain) {
    PeerOptions options = Quick();
    options.nakFrames = {{FrameSelector::Frame::kHeader, 0}, {FrameSelector::Frame::kBlock, 1}};
    RunningSim sim(options);
    ToolSide& tool = sim.Tool();
    const Frame module = test::MakeModule(2100);
    ASSERT_EQ(tool.Read(4), "BOOT");
    ASSERT_EQ(Exchange(tool, test::HandshakeFrame()), "ACK");
    EXPECT_EQ(Exchange(tool, test::HeaderFrame(module)), "NAK");
    EXPECT_EQ(Exchange(tool, test::HeaderFrame(module)), "ACK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 0)), "ACK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 1)), "NAK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 1)), "ACK");
    EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 2)), "ACK");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameMen)), "ACK");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameGen)), "ACK");

    const RunResult result = sim.Finish();
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
    EXPECT_EQ(result.counters.naksSent, 2u);
}

TEST(BoxSimRunner, ReadbackRoadSendsBlocksSkipsTheBadOneAndCompletes) {
    PeerOptions options = Quick();
    options.readback = test::MakeModule(2500, 3);
    options.readbackBadBlocks = {1};
    options.readbackPause = milliseconds{50};
    RunningSim sim(options);
    ToolSide& tool = sim.Tool();
    ASSERT_EQ(tool.Read(4), "BOOT");
    ASSERT_EQ(Exchange(tool, test::HandshakeFrame()), "ACK");

    std::vector<std::string> blocks = {
        Exchange(tool, test::HeaderFrame(options.readback.value()), kBlkFrameLength)};
    tool.Send(test::CommandFrame(kFrameAck));
    blocks.push_back(tool.Read(kBlkFrameLength));  // bad: the tool stays quiet
    blocks.push_back(tool.Read(kBlkFrameLength));
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameAck)), "MEN");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameGen)), "ACK");

    const Frame& data = options.readback.value();
    const std::size_t lengths[] = {1024, 1024, 452};
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        ASSERT_EQ(blocks[n].size(), kBlkFrameLength) << n;
        const Frame block(blocks[n].begin(), blocks[n].end());
        EXPECT_EQ(ReadBE16(&block[3]), n);
        EXPECT_EQ(ReadBE16(&block[5]), lengths[n]);
        const auto fill = block.begin() + 7 + static_cast<std::ptrdiff_t>(lengths[n]);
        EXPECT_TRUE(std::equal(block.begin() + 7, fill,
                               data.begin() + static_cast<std::ptrdiff_t>(n * 1024)));
        EXPECT_TRUE(std::all_of(fill, block.end() - 1, [](std::uint8_t b) { return b == 0; }));
        // The checksum covers bytes 0 to 1030; block 1 was asked to be bad.
        EXPECT_EQ(Sum8(std::span(block).first(1031)) == block[1031], n != 1) << n;
    }
    const RunResult result = sim.Finish();
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
    EXPECT_EQ(result.counters.readbacksCompleted, 1u);
}

struct EarlyEndCase {
    const char* name;
    std::function<void(PeerOptions&)> configure;
    // What the tool does after block 0 was accepted.
    std::function<void(ToolSide&, const Frame& module)> tool;
    RunResult::End end;
    const char* report;
};

// Names the case in test listings.
void PrintTo(const EarlyEndCase& c, std::ostream* out) {
    *out << c.name;
}

class EarlyEndTest : public ::testing::TestWithParam<EarlyEndCase> {};

TEST_P(EarlyEndTest, EndsTheRunUnverifiedWithoutHanging) {
    const EarlyEndCase& c = GetParam();
    PeerOptions options = Quick();
    if (c.configure) {
        c.configure(options);
    }
    RunningSim sim(options);
    ToolSide& tool = sim.Tool();
    const Frame module = test::MakeModule(4000);
    ASSERT_EQ(tool.Read(4), "BOOT");
    ASSERT_EQ(Exchange(tool, test::HandshakeFrame()), "ACK");
    ASSERT_EQ(Exchange(tool, test::HeaderFrame(module)), "ACK");
    ASSERT_EQ(Exchange(tool, test::BlockFrame(module, 0)), "ACK");
    c.tool(tool, module);

    const RunResult result = sim.Finish();
    EXPECT_FALSE(RunSucceeded(result));
    EXPECT_EQ(result.end, c.end);
    EXPECT_TRUE(HasReport(result, c.report)) << FormatRunSummary(result);
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, EarlyEndTest,
    ::testing::Values(
        EarlyEndCase{"the_tool_cancels", nullptr,
                     [](ToolSide& tool, const Frame&) {
                         tool.Send(test::CommandFrame(kFrameCnl));
                         EXPECT_EQ(tool.Read(3, milliseconds{200}), "");
                     },
                     RunResult::End::kFinished, "CNL: the tool cancelled the update"},
        EarlyEndCase{"the_tool_closes_the_line", nullptr,
                     [](ToolSide& tool, const Frame&) { tool.Close(); },
                     RunResult::End::kLineClosed, "the tool closed the line during the update"},
        EarlyEndCase{"the_box_vanishes_at_block_1",
                     [](PeerOptions& o) {
                         o.vanishFrames = {{FrameSelector::Frame::kBlock, 1}};
                     },
                     [](ToolSide& tool, const Frame& module) {
                         EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 1)), "");
                     },
                     RunResult::End::kVanished, "closing the line at block:1"},
        EarlyEndCase{"the_module_end_is_refused_on_request",
                     [](PeerOptions& o) {
                         o.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
                     },
                     [](ToolSide& tool, const Frame& module) {
                         EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 1)), "ACK");
                         EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 2)), "ACK");
                         EXPECT_EQ(Exchange(tool, test::BlockFrame(module, 3)), "ACK");
                         EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameMen)), "NAK");
                     },
                     RunResult::End::kFinished, "MEN: refused with NAK on request"},
        EarlyEndCase{"a_silenced_block_is_never_answered",
                     [](PeerOptions& o) {
                         o.silentFrames = {{FrameSelector::Frame::kBlock, 1}};
                     },
                     [](ToolSide& tool, const Frame& module) {
                         tool.Send(test::BlockFrame(module, 1));
                         EXPECT_EQ(tool.Read(3, milliseconds{300}), "");
                         tool.Send(test::CommandFrame(kFrameCnl));
                     },
                     RunResult::End::kFinished, "BLK 1: left unanswered, as asked"},
        EarlyEndCase{"garbage_then_a_frame_out_of_turn", nullptr,
                     [](ToolSide& tool, const Frame&) {
                         const std::string noise = "\x7f\x01zz";
                         tool.Send(Frame(noise.begin(), noise.end()));
                         tool.Send(test::HandshakeFrame());
                         EXPECT_EQ(tool.Read(3, milliseconds{300}), "");
                     },
                     RunResult::End::kFinished, "GBE: unexpected while waiting for BLK 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoxSimRunner, StopRequestEndsARunThatWaitsForTheTool) {
    RunningSim sim(Quick());
    ASSERT_EQ(sim.Tool().Read(4), "BOOT");
    sim.Runner().RequestStop();
    const RunResult result = sim.Finish();
    EXPECT_EQ(result.end, RunResult::End::kStopped);
    EXPECT_FALSE(RunSucceeded(result));
}

TEST(BoxSimRunner, BenchServesUpdateAfterUpdateAndWaitsForAReopenedLine) {
    PeerOptions options = Quick();
    options.bench = true;
    options.announceInterval = milliseconds{100};
    RunningSim sim(options);
    const Frame module = test::MakeModule(1500);
    ASSERT_EQ(sim.Tool().Read(8), "BOOTBOOT");  // announced again until a handshake
    DriveUpdate(sim.Tool(), module);
    sim.Tool().Close();

    ToolSide again(sim.Path());
    ASSERT_TRUE(again.IsOpen());
    // An announcement from before the reopen may still wait in the line.
    ASSERT_EQ(again.Read(4), "BOOT");
    while (again.Read(4, milliseconds{30}) == "BOOT") {
    }
    DriveUpdate(again, module);
    sim.Runner().RequestStop();

    const RunResult result = sim.Finish();
    EXPECT_EQ(result.end, RunResult::End::kStopped);
    EXPECT_EQ(result.counters.updatesVerified, 2u);
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
}

TEST(BoxSimRunner, ServesASerialDeviceRawAndGivesItsSettingsBack) {
    // The far end of a pseudo-terminal is a terminal device like a serial port.
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(master.IsValid());
    ASSERT_EQ(::grantpt(master.Get()) | ::unlockpt(master.Get()), 0);
    const std::string device = ::ptsname(master.Get());
    std::string error;
    std::optional<BoxLine> line = OpenSerialDeviceLine(device, error);
    ASSERT_TRUE(line.has_value()) << error;
    termios settings{};
    ASSERT_EQ(::tcgetattr(line->Fd(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), B115200);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0u);

    BoxSimRunner runner(std::move(*line), Quick());
    std::packaged_task<RunResult()> run([&runner] { return runner.Run(); });
    std::future<RunResult> ended = run.get_future();
    std::jthread thread(std::move(run));
    ToolSide tool(std::move(master));
    const Frame module = test::MakeModule(1100);
    ASSERT_EQ(tool.Read(4), "BOOT");  // no open to wait for on a device
    DriveUpdate(tool, module);
    runner.RequestStop();
    ASSERT_EQ(ended.wait_for(std::chrono::seconds{5}), std::future_status::ready);
    EXPECT_TRUE(RunSucceeded(ended.get()));

    const UniqueFd again(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_EQ(::tcgetattr(again.Get(), &settings), 0);
    EXPECT_NE(settings.c_lflag & ICANON, 0u);  // a new terminal's cooked mode is back
}

}  // namespace
}  // namespace vantrel
