#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>

#include "tests/serial/open_port_fixture.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using CommTransferTest = test::OpenPortFixture;

TEST_F(CommTransferTest, ABurstArrivesWholeInChunksOfAtMost2048Bytes) {
    const std::vector<std::uint8_t> burst = test::TestPattern(100 * 1024);
    std::thread sender([&] { EXPECT_TRUE(peer.Write(burst)); });
    const bool arrived = ui.RunUntil([&] { return owner.received.size() >= burst.size(); }, 30s);
    sender.join();
    ASSERT_TRUE(arrived) << owner.received.size() << " of " << burst.size() << " bytes";

    EXPECT_TRUE(owner.received == burst) << "bytes lost, changed or reordered";
    std::cout << burst.size() << " bytes came in " << owner.chunkSizes.size()
              << " chunks, the largest "
              << *std::max_element(owner.chunkSizes.begin(), owner.chunkSizes.end()) << " bytes\n";
    for (const std::size_t size : owner.chunkSizes) {
        EXPECT_GE(size, 1u);
        EXPECT_LE(size, CComm::kChunkCapacity);
    }
}

TEST_F(CommTransferTest, AWriteToAPeerThatNeverReadsEndsAfterTheTimeLimit) {
    const std::vector<std::uint8_t> frame = test::TestPattern(256 * 1024);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size())), 1);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_GE(elapsed, 900ms) << "gave up before the line had its time";
    EXPECT_LT(elapsed, 3s) << "a write must end after about a second";
    const std::vector<std::uint8_t> arrived = peer.ReadAvailable();
    EXPECT_GT(arrived.size(), 0u);
    EXPECT_LT(arrived.size(), frame.size());
    EXPECT_TRUE(std::equal(arrived.begin(), arrived.end(), frame.begin()));
    EXPECT_EQ(owner.writeErrors, 0) << "a plain timeout is not a device error";
}

TEST_F(CommTransferTest, AWriteTheDeviceFailsIsReportedWhileTheWriterWaits) {
    peer.Vanish();
    std::atomic<bool> writerReturned{false};
    bool writerWasWaiting = false;
    owner.onWriteError = [&] { writerWasWaiting = !writerReturned.load(); };

    std::thread writer([&] {
        const std::uint8_t frame[] = {'G', 'E', 'N'};
        EXPECT_EQ(port.WriteBytes(frame, sizeof frame), 1);
        writerReturned = true;
    });
    const bool reported = ui.RunUntil([&] { return writerReturned.load(); });
    port.ClosePort();  // frees a writer still waiting, so a failure cannot hang the test
    writer.join();

    ASSERT_TRUE(reported);
    EXPECT_EQ(owner.writeErrors, 1);
    EXPECT_TRUE(writerWasWaiting);
}

}  // namespace
}  // namespace vantrel
