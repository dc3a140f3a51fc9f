#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>

#include "tests/serial/open_port_fixture.h"
#include "tests/support/thread_count.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using CommLifecycleTest = test::OpenPortFixture;

std::size_t CountEntries(const char* directory) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto time = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

TEST_F(CommLifecycleTest, TheLastFrameWrittenBeforeClosingReachesThePeer) {
    // A cancel written just before the program closes the port must not be
    // purged from the line; the loss depended on timing, hence the rounds.
    const std::uint8_t cancel[] = {'C', 'N', 'L'};
    for (int round = 0; round < 50; ++round) {
        if (round > 0) {
            ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0);
        }
        port.WriteBytes(cancel, sizeof cancel);
        port.ClosePort();
        std::vector<std::uint8_t> received;
        for (int i = 0; i < 100 && received.size() < 3; ++i) {
            const std::vector<std::uint8_t> more = peer.ReadAvailable();
            received.insert(received.end(), more.begin(), more.end());
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(received, std::vector<std::uint8_t>(std::begin(cancel), std::end(cancel)))
            << "round " << round;
    }
}

TEST_F(CommLifecycleTest, ClosingWhileThePeerStreamsReturnsPromptlyWithTheReaderJoined) {
    std::atomic<bool> streaming{true};
    std::thread streamer([&] {
        const std::vector<std::uint8_t> block = test::TestPattern(4096);
        while (streaming) {
            peer.Write(block, 100ms);
        }
    });
    ASSERT_TRUE(ui.RunUntil([&] { return owner.received.size() > 10000; }));
    const std::size_t threadsWithReader = test::ThreadCount();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ClosePort(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(port.IsConnected(), 0);
    EXPECT_EQ(test::ThreadCount(), threadsWithReader - 1);

    streaming = false;
    streamer.join();
}

// The reader has queued a delivery and waits for the UI thread, which is
// busy closing the port: the close must abort the delivery, not wait for it.
TEST_F(CommLifecycleTest, ClosingWhileTheReaderWaitsForTheUiThreadDoesNotDeadlock) {
    const std::size_t threadsWithReader = test::ThreadCount();
    ASSERT_TRUE(Send("BOOT"));
    ASSERT_TRUE(ui.WaitForQueuedCall());

    EXPECT_EQ(port.ClosePort(), 1);
    EXPECT_EQ(test::ThreadCount(), threadsWithReader - 1);
    ui.Calls().RunPending();
    EXPECT_TRUE(owner.received.empty()) << "an aborted delivery ran after the close";
}

TEST_F(CommLifecycleTest, ReopeningTwoHundredTimesLeaksNoDescriptorOrThread) {
    port.ClosePort();
    const std::size_t descriptors = CountEntries("/proc/self/fd");
    const std::size_t threads = test::ThreadCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0)
            << cycle << ": " << DescribeOpenError(port.LastOpenError());
        ASSERT_EQ(port.ClosePort(), 1);
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(test::ThreadCount(), threads);

    ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0);
    ASSERT_TRUE(Send("still works"));
    EXPECT_TRUE(ui.RunUntil([&] { return ReceivedText() == "still works"; }));
}

TEST_F(CommLifecycleTest, AVanishedPeerLeavesEveryThreadAsleepAndTheOwnerTold) {
    const std::string device = peer.SlavePath();
    peer.Vanish();
    ASSERT_TRUE(ui.RunUntil([&] { return !owner.losses.empty(); }));
    EXPECT_EQ(port.IsConnected(), 0);
    EXPECT_EQ(owner.losses.front().device, device);
    EXPECT_EQ(owner.losses.front().reason, LossReason::kHangUp);

    const auto cpuBefore = ProcessCpuTime();
    std::this_thread::sleep_for(1s);  // the span over which a spinning reader would show
    const auto cpuUsed = ProcessCpuTime() - cpuBefore;
    std::cout << "CPU time over one idle second after the loss: "
              << std::chrono::duration<double>(cpuUsed).count() << " s\n";
    EXPECT_LT(cpuUsed, 200ms);
    EXPECT_EQ(owner.losses.size(), 1u);

    test::PtyPeer back(1);  // the adapter is plugged in again
    ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0) << DescribeOpenError(port.LastOpenError());
    const std::uint8_t boot[] = {'B', 'O', 'O', 'T'};
    ASSERT_TRUE(back.Write(boot));
    EXPECT_TRUE(ui.RunUntil([&] { return ReceivedText() == "BOOT"; }));
}

// The reader does not wait for the loss handler, so the handler may close
// the port (which joins the reader) and open another one.
TEST_F(CommLifecycleTest, TheLossHandlerMayCloseAndReopenThePort) {
    test::PtyPeer spare(2);
    int reopened = 0;
    owner.onLost = [&](const PortLoss&) {
        port.ClosePort();
        reopened = port.OpenPort(DefaultPortSettings(2));
    };
    peer.Vanish();
    ASSERT_TRUE(ui.RunUntil([&] { return !owner.losses.empty(); }));
    ASSERT_NE(reopened, 0) << DescribeOpenError(port.LastOpenError());

    const std::uint8_t answer[] = {'A', 'C', 'K'};
    ASSERT_TRUE(spare.Write(answer));
    EXPECT_TRUE(ui.RunUntil([&] { return ReceivedText() == "ACK"; }));
    EXPECT_EQ(port.IsConnected(), 1);
}

}  // namespace
}  // namespace vantrel
