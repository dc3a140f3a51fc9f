#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "protocol/checksum.h"
#include "tests/engine/engine_harness.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::EngineHarness;
using test::Of;

std::string Command(const Bytes& frame) {
    return std::string(frame.begin(), frame.begin() + std::min<std::size_t>(3, frame.size()));
}

std::uint16_t BlockNumber(const Bytes& frame) {
    return ReadBE16(&frame[3]);
}

// Drives the road up to block transfer: BOOT, GBE, ACK, MBE, ACK, BLK 0.
void ReachBlocks(EngineHarness& h) {
    h.Start();
    h.Receive("BOOT");
    ASSERT_EQ(Command(h.NextFrame()), "GBE");
    h.Receive("ACK");
    ASSERT_EQ(Command(h.NextFrame()), "MBE");
    h.Receive("ACK");
    const Bytes block0 = h.NextFrame();
    ASSERT_EQ(Command(block0), "BLK");
    ASSERT_EQ(BlockNumber(block0), 0);
}

TEST(UpdateSession, SuccessfulRoadWritesEveryFrameInOrder) {
    EngineHarness h;  // 3 full blocks and one of 100 bytes
    h.Start();
    h.Receive("BOOT");
    const Bytes gbe = h.NextFrame();
    ASSERT_EQ(gbe.size(), 36u);
    EXPECT_EQ(std::string(gbe.begin(), gbe.begin() + 13), std::string("GBE\x01KOSMA_QRN"));
    h.Receive("ACK");
    const Bytes mbe = h.NextFrame();
    ASSERT_EQ(mbe.size(), 17u);
    EXPECT_EQ(Command(mbe), "MBE");
    EXPECT_EQ(ReadBE16(&mbe[5]), 4);
    EXPECT_EQ(ReadBE16(&mbe[15]), Sum16(h.image));

    for (std::uint16_t block = 0; block < 4; ++block) {
        h.Receive("ACK");
        const Bytes blk = h.NextFrame();
        ASSERT_EQ(blk.size(), 1032u);
        EXPECT_EQ(BlockNumber(blk), block);
        const std::size_t length = block < 3 ? 1024 : 100;
        EXPECT_EQ(ReadBE16(&blk[5]), length);
        EXPECT_TRUE(std::equal(blk.begin() + 7, blk.begin() + 7 + static_cast<long>(length),
                               h.image.begin() + block * 1024));
    }
    // The last block's ACK brings the module end without further input.
    h.Receive("ACK");
    EXPECT_EQ(h.NextFrame(), Of("MEN"));
    EXPECT_EQ(h.progress, 4u);
    h.Receive("ACK");
    EXPECT_EQ(h.NextFrame(), Of("GEN"));
    h.Receive("ACK");
    EXPECT_EQ(h.WaitForEnd(), "done");
    EXPECT_TRUE(h.NoFurtherFrame());
    // Updating at the handshake, Writing when the module is exhausted; each
    // block acknowledged carries the status line's figures itself.
    EXPECT_EQ(h.statuses, (std::vector<StatusCode>{kStatusUpdating, kStatusWriting}));
    std::vector<std::uint32_t> counted;
    for (const SessionEvent& event : h.events) {
        if (event.kind == SessionEvent::Kind::kBlockAcknowledged) {
            EXPECT_TRUE(event.progress.hasSlot);
            EXPECT_EQ(event.progress.blockCount, 4u);
            counted.push_back(event.progress.blockCounter);
        }
    }
    EXPECT_EQ(counted, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(h.log, "BOOT\r\n");
    EXPECT_EQ(h.slots.FirstSelectedSlot(), nullptr) << "the written module's slot is released";
}

TEST(UpdateSession, NakHasTheSameFrameSentAgainWithCountersStill) {
    EngineHarness h;
    h.Start();
    h.Receive("BOOT");
    const Bytes gbe = h.NextFrame();
    h.Receive("NAK");
    EXPECT_EQ(h.NextFrame(), gbe);
    h.Receive("ACK");
    const Bytes mbe = h.NextFrame();
    h.Receive("NAK");
    EXPECT_EQ(h.NextFrame(), mbe);
    h.Receive("ACK");
    const Bytes block0 = h.NextFrame();
    h.Receive("ACK");
    const Bytes block1 = h.NextFrame();
    for (int i = 0; i < 3; ++i) {
        h.Receive("NAK");
        EXPECT_EQ(h.NextFrame(), block1) << "resend " << i;
    }
    EXPECT_EQ(h.progress, 1u);
    EXPECT_EQ(h.log, "BOOT\r\nNAKNAKNAKNAKNAK");
    EXPECT_NE(block0, block1);
}

TEST(UpdateSession, NakToTheModuleEndFailsTheUpdate) {
    EngineHarness h(1024);
    ReachBlocks(h);
    h.Receive("ACK");
    ASSERT_EQ(h.NextFrame(), Of("MEN"));
    h.Receive("NAK");
    EXPECT_EQ(h.WaitForEnd(), "failed");
    EXPECT_EQ(h.statuses.back(), kStatusUpdateFailed);
    EXPECT_TRUE(h.NoFurtherFrame());
}

TEST(UpdateSession, CancelSendsCnlOnlyDuringBlockTransfer) {
    // How many answers to give after Start before pressing Cancel, and the
    // frame Cancel must produce.
    const struct {
        const char* state;
        std::vector<std::string> answers;
        bool canWrite;
        std::string frame;  // empty: none
    } cases[] = {
        {"WaitBoot", {}, true, ""},
        {"Handshake", {"BOOT"}, true, ""},
        {"ModuleHeader", {"BOOT", "ACK"}, true, ""},
        {"Blocks", {"BOOT", "ACK", "ACK"}, true, "CNL"},
        {"Blocks, port lost", {"BOOT", "ACK", "ACK"}, false, ""},
        {"ModuleEnd", {"BOOT", "ACK", "ACK", "ACK"}, true, ""},
        {"GlobalEnd", {"BOOT", "ACK", "ACK", "ACK", "ACK"}, true, ""},
    };
    for (const auto& c : cases) {
        EngineHarness h(1000);  // one block
        h.Start();
        for (const std::string& answer : c.answers) {
            h.Receive(answer);
            h.NextFrame();
        }
        h.session.Cancel(c.canWrite);
        if (!c.frame.empty()) {
            EXPECT_EQ(h.NextFrame(), Of(c.frame)) << c.state;
        }
        EXPECT_EQ(h.WaitForEnd(), "failed") << c.state;
        EXPECT_TRUE(h.NoFurtherFrame()) << c.state << ": exactly one frame at most";
    }
}

TEST(UpdateSession, CancelWinsOverWhatTheBoxSendsBeforeTheWorkerActs) {
    // The box's bytes parsed between the Cancel press and the worker's wake
    // must not turn the cancel into a module end or a readback answer.
    const struct {
        const char* name;
        Bytes fromBox;
    } cases[] = {
        {"a module end", Of("MEN")},
        {"a block sent back", EngineHarness::BoxBlock(0, Bytes(1024, 1))},
        {"an ACK", Of("ACK")},
    };
    for (const auto& c : cases) {
        for (int round = 0; round < 20; ++round) {
            EngineHarness h;
            ReachBlocks(h);
            h.session.Cancel(true);
            h.Receive(c.fromBox);
            EXPECT_EQ(h.NextFrame(), Of("CNL")) << c.name << ", round " << round;
            EXPECT_EQ(h.WaitForEnd(), "failed") << c.name << ", round " << round;
        }
    }
}

TEST(UpdateSession, AnswersBeforeStartChangeNothing) {
    EngineHarness h;
    EXPECT_EQ(h.session.AdvanceState(kResponseAck), 0);
    h.Receive("BOOT");
    EXPECT_EQ(h.session.State(), kWaitBoot);
    EXPECT_TRUE(h.NoFurtherFrame());
}

TEST(UpdateSession, BootAsAnAnswerAsksForTheHandshakeOrEndsTheUpdate) {
    const Bytes boot = Of("BOOT");
    const Bytes ack = Of("ACK");
    const Bytes boxBlock = EngineHarness::BoxBlock(0, Bytes(1024, 0x11));
    // The answers the box gives after Start, each followed by the frame it
    // brings, before the box announces itself once more. The harness image
    // has 4 blocks.
    const struct {
        const char* state;
        std::vector<Bytes> answers;
        std::string frame;    // what the "BOOT" brings; empty: the update failed
        std::string atBlock;  // the block the failure names
    } cases[] = {
        {"WaitBoot", {}, "GBE", ""},
        {"WaitBoot, an ACK starts it too", {ack}, "GBE", ""},
        {"Handshake", {boot}, "GBE", ""},
        {"ModuleHeader", {boot, ack}, "", "0 of 4"},
        {"Blocks", {boot, ack, ack, ack}, "", "1 of 4"},
        {"ModuleEnd", {boot, ack, ack, ack, ack, ack, ack}, "", "4 of 4"},
        {"GlobalEnd", {boot, ack, ack, ack, ack, ack, ack, ack}, "", "4 of 4"},
        {"ReadbackAck", {boot, ack, boxBlock}, "", "0 of 4"},
        // The global end was acknowledged: the "BOOT" announces the next update.
        {"GlobalEnd acknowledged", {boot, ack, ack, ack, ack, ack, ack, ack}, "", ""},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        h.Start();
        Bytes last;
        for (const Bytes& answer : c.answers) {
            h.Receive(answer);
            last = h.NextFrame();
        }
        if (c.atBlock.empty() && c.frame.empty()) {
            h.Receive("ACKBOOT");  // in one read, before the worker has ended
            EXPECT_EQ(h.WaitForEnd(), "done") << c.state;
            EXPECT_TRUE(h.stream.TakePendingBoot()) << c.state << ": the box waits for a handshake";
            continue;
        }
        h.Receive("BOOT");
        if (!c.frame.empty()) {
            const Bytes frame = h.NextFrame();
            EXPECT_EQ(Command(frame), c.frame) << c.state;
            if (Command(last) == "GBE") {
                EXPECT_EQ(frame, last) << c.state << ": the same handshake again";
            }
            continue;
        }
        EXPECT_EQ(h.WaitForEnd(), "failed") << c.state;
        EXPECT_TRUE(h.NoFurtherFrame()) << c.state;
        EXPECT_EQ(h.session.EndCause(), SessionEndCause::kBoxRestarted) << c.state;
        EXPECT_EQ(h.statuses.back(), kStatusUpdateFailed) << c.state;
        EXPECT_NE(h.log.find("The box started again (it sent BOOT) at block " + c.atBlock),
                  std::string::npos)
            << c.state << ": " << h.log;
        EXPECT_TRUE(h.stream.TakePendingBoot()) << c.state << ": the box waits for a handshake";
    }
}

TEST(UpdateSession, ReadbackRoadStoresGoodBlocksAndAcknowledgesThem) {
    EngineHarness h;
    h.Start();
    h.Receive("BOOT");
    h.NextFrame();
    h.Receive("ACK");
    ASSERT_EQ(Command(h.NextFrame()), "MBE");

    const Bytes first(1024, 0x11);
    const Bytes second(300, 0x22);
    h.Receive(EngineHarness::BoxBlock(0, first));
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    h.Receive(EngineHarness::BoxBlock(1, Bytes(1024, 0x99), false));
    EXPECT_TRUE(h.NoFurtherFrame()) << "a bad block is not answered";
    EXPECT_EQ(h.session.State(), kReadbackBad);
    h.Receive(EngineHarness::BoxBlock(2, second));
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    h.Receive("MEN");
    EXPECT_EQ(h.NextFrame(), Of("GEN"));
    EXPECT_EQ(h.statuses.back(), kStatusComplete);
    h.Receive("ACK");
    EXPECT_EQ(h.WaitForEnd(), "done");

    std::ifstream file(h.imagePath, std::ios::binary);
    const Bytes stored{std::istreambuf_iterator<char>(file), {}};
    // Each block at its own place: the bad block 1 leaves a hole.
    Bytes expected = first;
    expected.resize(2048, 0);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(h.log, "BOOT\r\nKept the original image as " + h.imagePath +
                         ".orig\r\n>>blk(0):size(1024)\r\n>>blk(2):size(300)\r\nReadback into " +
                         h.imagePath + ": block 1 is missing\r\n");
    EXPECT_EQ(h.progress, 0u) << "the progress bar does not move on this road";
}

TEST(UpdateSession, ModuleEndFromTheBoxWithNoModuleLeftEndsNormally) {
    EngineHarness h(1000);
    ReachBlocks(h);
    h.Receive("ACK");
    ASSERT_EQ(h.NextFrame(), Of("MEN"));  // the module count is 0 now
    h.Receive("MEN");                     // the box sends one more module end
    EXPECT_EQ(h.slots.ModuleCount(), 0u) << "the count does not wrap";
    EXPECT_EQ(Command(h.NextFrame()), "GEN");
    h.Receive("ACK");
    EXPECT_EQ(h.WaitForEnd(), "done");
}

TEST(UpdateSession, HeaderWithNoSelectedModuleFailsInsteadOfSpinning) {
    EngineHarness h;
    h.slots[0].selected = 0;
    h.Start();
    h.Receive("BOOT");
    h.NextFrame();
    h.Receive("ACK");
    EXPECT_EQ(h.WaitForEnd(), "failed");
}

TEST(UpdateSession, StopEndsARunningWorker) {
    EngineHarness h;
    ReachBlocks(h);
    h.session.Stop();
    EXPECT_FALSE(h.session.WorkerRunning());
    EXPECT_EQ(h.ended, "") << "no closing message once the window goes";
}

TEST(UpdateSession, StartWaitsForTheWorkerOfACancelledSession) {
    EngineHarness h;
    ReachBlocks(h);
    h.session.Cancel(true);  // the worker still has to write CNL and end
    h.Start();
    EXPECT_EQ(h.ended, "failed") << "the old session's closing message ran first";
    EXPECT_EQ(h.NextFrame(), Of("CNL"));
    h.Receive("BOOT");
    EXPECT_EQ(Command(h.NextFrame()), "GBE");
}

}  // namespace
}  // namespace vantrel
