#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/engine_harness.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::EngineHarness;
using test::Of;

TEST(ReceiveStream, ConsoleTextOutsideASession) {
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string log;
    } cases[] = {
        {"line ends swapped", {"ab\r\n"}, "ab\n\r"},
        {"a split word waits for its rest", {"AC"}, ""},
        {"two bytes that begin no word are shown at once", {"ab"}, "ab"},
        {"a NUL is a line end", {std::string("\0xyz", 4)}, "\r\nxyz"},
        {"BOOT with its line end", {"BOOT\r\n"}, "BOOT\r\n\n\r"},
        {"BOOT split after two bytes", {"BO", "OT"}, "BOOT\r\n"},
        {"BOOT split after three bytes", {"BOO", "T"}, "BOOT\r\n"},
        {"an ACK is never shown", {"AC", "K", "ACKACK"}, ""},
        {"a NAK in WaitBoot is text", {"NAK\r\n"}, "NAK\n\r"},
        {"the prompt is text", {">> menu"}, ">> menu"},
        {"text and a word on the same line", {"text ACK"}, "text ACK"},
        {"a word on the next line", {"ready\r\nBOOT"}, "ready\n\rBOOT\r\n"},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        for (const std::string& chunk : c.chunks) {
            h.Receive(chunk);
        }
        EXPECT_EQ(h.log, c.log) << c.name;
    }
}

TEST(ReceiveStream, WordsSplitAcrossReadsDuringASession) {
    // A USB adapter hands over what it has every few milliseconds, so the
    // box's words come in pieces; text in front of a word hides it.
    const std::string note =
        "(\"ACK\" came behind other text in one read and was not taken "
        "as an answer)\r\n";
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string log;
        bool handshakeSent;
    } cases[] = {
        {"BOO + T", {"BOO", "T"}, "BOOT\r\n", true},
        {"B + OOT", {"B", "OOT"}, "BOOT\r\n", true},
        {"BO + O + T", {"BO", "O", "T"}, "BOOT\r\n", true},
        {"BOO + BOOT: the second BOOT counts", {"BOO", "BOOT"}, "BOOBOOT\r\n", true},
        {"a held BOO followed by text", {"BOO", "t up\r\n"}, "BOOt up\r\n", false},
        {"a held BOO followed by an ACK", {"BOO", "ACK"}, "BOO", true},
        {"a held AC that is not completed", {"AC", "e\r\nBOOT"}, "ACe\r\nBOOT\r\n", true},
        {"text then ACK in one read", {"ready ACK"}, "ready ACK\r\n" + note, false},
        {"text then ACK and a line end", {"ready ACK\r\n"}, "ready ACK\r\n" + note, false},
        {"text then BOOT in one read",
         {"loader: BOOT"},
         "loader: BOOT\r\n(\"BOOT\" came behind other text in one read and was not taken as an "
         "answer)\r\n",
         false},
        {"ACK inside text is not noted", {"no ACK here\r\n"}, "no ACK here\r\n", false},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        h.Start();
        for (const std::string& chunk : c.chunks) {
            h.Receive(chunk);
        }
        if (c.handshakeSent) {
            EXPECT_EQ(h.NextFrame().size(), 36u) << c.name;
        } else {
            EXPECT_TRUE(h.NoFurtherFrame()) << c.name;
        }
        EXPECT_EQ(h.log, c.log) << c.name;
    }
}

TEST(ReceiveStream, LongConsoleTextIsShownWhole) {
    EngineHarness h;
    std::string text;
    for (int i = 0; text.size() < 5000; ++i) {
        text += "line of console text number " + std::to_string(i) + " without an end; ";
    }
    h.Receive(text.substr(0, 2048));
    h.Receive(text.substr(2048, 2048));
    h.Receive(text.substr(4096));
    h.Receive("\r\n");
    EXPECT_EQ(h.log, text + "\n\r");
}

TEST(ReceiveStream, LineEndsBehindAnswersDoNotHideTheNextAnswer) {
    // "ACK\r\n" leaves its line end behind; the next answer must still be
    // recognised at the start of the next chunk.
    EngineHarness h;
    h.Start();
    h.Receive("BOOT\r\n");
    EXPECT_EQ(h.NextFrame().size(), 36u);
    h.Receive("ACK\r\n");
    EXPECT_EQ(h.NextFrame().size(), 17u);
    h.Receive("ACK\r\n");
    EXPECT_EQ(h.NextFrame().size(), 1032u);
    EXPECT_EQ(h.log, "BOOT\r\n\r\n\r\n\r\n") << "inside a session the line ends are unchanged";
}

TEST(ReceiveStream, BlockFromTheBoxInPiecesIsHandledWhole) {
    EngineHarness h;
    h.Start();
    h.Receive("BOOT");
    h.NextFrame();
    h.Receive("ACK");
    h.NextFrame();  // MBE
    const Bytes block = EngineHarness::BoxBlock(0, Bytes(1024, 0x5A));
    const std::size_t cuts[] = {0, 2, 3, 500, 1031, 1032};
    for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
        h.Receive(Bytes(block.begin() + static_cast<long>(cuts[i]),
                        block.begin() + static_cast<long>(cuts[i + 1])));
    }
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    // A block followed by more bytes in the same chunk: both are handled.
    Bytes blockAndText = EngineHarness::BoxBlock(1, Bytes(10, 1));
    blockAndText.insert(blockAndText.end(), {'o', 'k', '\r', '\n'});
    h.Receive(blockAndText);
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    EXPECT_EQ(h.log, "BOOT\r\nKept the original image as " + h.imagePath +
                         ".orig\r\n>>blk(0):size(1024)\r\n>>blk(1):size(10)\r\nok\r\n");
}

TEST(ReceiveStream, OverlongBlockLengthStoresOneDataArea) {
    EngineHarness h;
    h.Start();
    h.Receive("BOOT");
    h.NextFrame();
    h.Receive("ACK");
    h.NextFrame();
    Bytes block = EngineHarness::BoxBlock(0, Bytes(1024, 7));
    block[5] = 0xFF;  // claims 65535 data bytes
    block[6] = 0xFF;
    block[1031] = 0;
    for (std::size_t i = 0; i < 1031; ++i) {
        block[1031] = static_cast<std::uint8_t>(block[1031] + block[i]);
    }
    h.Receive(block);
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    EXPECT_EQ(std::filesystem::file_size(h.imagePath), 1024u);
}

TEST(ReceiveStream, BlockWithoutAModuleIsNeitherStoredNorAcknowledged) {
    EngineHarness h;
    h.Start();
    h.Receive("BOOT");
    h.NextFrame();  // GBE; no module header yet, so no file to store into
    h.Receive(EngineHarness::BoxBlock(0, Bytes(1024, 3)));
    EXPECT_TRUE(h.NoFurtherFrame());
    EXPECT_EQ(std::filesystem::file_size(h.imagePath), h.image.size());
    EXPECT_EQ(h.log,
              "BOOT\r\nBlock 0 from the box was not stored and is not acknowledged: no image file "
              "is being written in this session\r\n");
}

}  // namespace
}  // namespace vantrel
