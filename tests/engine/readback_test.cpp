#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/engine/engine_harness.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::EngineHarness;
using test::Of;

Bytes ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(file), {}};
}

// What block n carries in these tests: 1024 bytes of one value.
Bytes BlockData(std::uint16_t number) {
    return Bytes(1024, static_cast<std::uint8_t>(0x40 + number));
}

// The image file as the blocks should leave it: each at number × 1024,
// holes where none arrived.
Bytes Placed(std::initializer_list<int> numbers) {
    Bytes file;
    for (const int n : numbers) {
        const Bytes data = n < 0 ? Bytes(1024, 0) : BlockData(static_cast<std::uint16_t>(n));
        file.insert(file.end(), data.begin(), data.end());
    }
    return file;
}

// Up to the module header, after which the box sends blocks back.
void ReachReadback(EngineHarness& h) {
    h.Start();
    h.Receive("BOOT");
    ASSERT_EQ(h.NextFrame().size(), 36u);
    h.Receive("ACK");
    ASSERT_EQ(h.NextFrame().size(), 17u);
}

// The text with every IMAGE replaced by the image file's path.
std::string WithImage(std::string text, const std::string& imagePath) {
    for (std::size_t at = text.find("IMAGE"); at != std::string::npos;
         at = text.find("IMAGE", at + imagePath.size())) {
        text.replace(at, 5, imagePath);
    }
    return text;
}

std::string Stored(int n) {
    return ">>blk(" + std::to_string(n) + "):size(1024)\r\n";
}

struct SentBlock {
    std::uint16_t number;
    bool goodChecksum;
    bool acknowledged;
};

TEST(Readback, EachBlockLandsAtItsOwnPlace) {
    const struct {
        const char* name;
        std::vector<SentBlock> blocks;
        Bytes file;
        std::string log;  // after "BOOT" and the kept original's line
    } cases[] = {
        {"blocks 0, 1 and 3: 2 is missing",
         {{0, true, true}, {1, true, true}, {3, true, true}},
         Placed({0, 1, -1, 3}),
         Stored(0) + Stored(1) + Stored(3) + "Readback into IMAGE: block 2 is missing\r\n"},
        {"block 0 bad and never sent again",
         {{0, false, false}, {1, true, true}, {2, true, true}},
         Placed({-1, 1, 2}),
         Stored(1) + Stored(2) + "Readback into IMAGE: block 0 is missing\r\n"},
        {"the same block twice",
         {{0, true, true}, {1, true, true}, {1, true, true}, {2, true, true}},
         Placed({0, 1, 2}),
         Stored(0) + Stored(1) + Stored(1) + Stored(2)},
        {"a bad block sent again",
         {{0, true, true}, {1, false, false}, {1, true, true}},
         Placed({0, 1}),
         Stored(0) + Stored(1)},
        {"several gaps",
         {{1, true, true}, {4, true, true}, {5, true, true}, {9, true, true}},
         Placed({-1, 1, -1, -1, 4, 5, -1, -1, -1, 9}),
         Stored(1) + Stored(4) + Stored(5) + Stored(9) +
             "Readback into IMAGE: blocks 0, 2-3, 6-8 are missing\r\n"},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        ReachReadback(h);
        for (const SentBlock& block : c.blocks) {
            h.Receive(
                EngineHarness::BoxBlock(block.number, BlockData(block.number), block.goodChecksum));
            if (block.acknowledged) {
                EXPECT_EQ(h.NextFrame(), Of("ACK")) << c.name << ", block " << block.number;
            } else {
                EXPECT_TRUE(h.NoFurtherFrame()) << c.name << ", block " << block.number;
            }
        }
        h.Receive("MEN");
        EXPECT_EQ(h.NextFrame(), Of("GEN")) << c.name;

        EXPECT_EQ(ReadFile(h.imagePath), c.file) << c.name;
        EXPECT_EQ(ReadFile(h.imagePath + ".orig"), h.image) << c.name;
        EXPECT_EQ(h.log, WithImage("BOOT\r\nKept the original image as IMAGE.orig\r\n" + c.log,
                                   h.imagePath))
            << c.name;
    }
}

TEST(Readback, AnEarlierKeptOriginalIsNeverOverwritten) {
    EngineHarness h;
    h.dir.Write("image.bin.orig", "first");
    h.dir.Write("image.bin.orig.1", "second");
    ReachReadback(h);
    h.Receive(EngineHarness::BoxBlock(0, BlockData(0)));
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    EXPECT_EQ(ReadFile(h.imagePath + ".orig"), Of("first"));
    EXPECT_EQ(ReadFile(h.imagePath + ".orig.1"), Of("second"));
    EXPECT_EQ(ReadFile(h.imagePath + ".orig.2"), h.image);
    EXPECT_NE(h.log.find("Kept the original image as " + h.imagePath + ".orig.2\r\n"),
              std::string::npos)
        << h.log;
}

TEST(Readback, EverySessionKeepsWhatTheFileHeldBeforeIt) {
    EngineHarness h;
    ReachReadback(h);
    h.Receive(EngineHarness::BoxBlock(0, BlockData(0)));
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    h.session.Cancel(false);
    h.WaitForEnd();

    ASSERT_EQ(h.slots.LoadImageIntoSlot("0x10000000", h.imagePath, 1), LoadResult::kLoaded);
    h.stream.Reset();
    ReachReadback(h);
    h.Receive(EngineHarness::BoxBlock(0, BlockData(5)));
    EXPECT_EQ(h.NextFrame(), Of("ACK"));
    EXPECT_EQ(ReadFile(h.imagePath + ".orig"), h.image);
    EXPECT_EQ(ReadFile(h.imagePath + ".orig.1"), Placed({0})) << "the first session's readback";
    EXPECT_EQ(ReadFile(h.imagePath), Placed({5}));
}

// Makes writes beyond `bytes` fail with EFBIG, as a full disk would fail
// them; SIGXFSZ would otherwise end the test.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

  private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

TEST(Readback, ABlockThatCannotBeStoredIsNotAcknowledged) {
    const struct {
        const char* name;
        std::function<void(EngineHarness&)> breakFile;
        std::string reason;
        std::string missing;  // at the box's module end: what was not stored counts
    } cases[] = {
        {"the folder is gone", [](EngineHarness& h) { std::filesystem::remove_all(h.dir.Path()); },
         "cannot open IMAGE: No such file or directory", "0-1"},
        {"a FIFO stands in the file's place",
         [](EngineHarness& h) {
             h.Receive(EngineHarness::BoxBlock(0, BlockData(0)));
             ASSERT_EQ(h.NextFrame(), Of("ACK"));
             std::filesystem::remove(h.imagePath);
             ASSERT_EQ(::mkfifo(h.imagePath.c_str(), 0600), 0);
         },
         "cannot open IMAGE: No such device or address", "1"},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        ReachReadback(h);
        c.breakFile(h);
        h.log.clear();
        h.Receive(EngineHarness::BoxBlock(1, BlockData(1)));
        EXPECT_TRUE(h.NoFurtherFrame()) << c.name;
        EXPECT_EQ(h.log, WithImage("Block 1 from the box was not stored and is not "
                                   "acknowledged: " +
                                       c.reason + "\r\n",
                                   h.imagePath))
            << c.name;
        h.Receive("MEN");
        EXPECT_EQ(h.NextFrame(), Of("GEN")) << c.name;
        EXPECT_EQ(h.stream.MissingReadbackBlocks(), c.missing) << c.name;
    }
}

TEST(Readback, AFailedWriteIsNotAcknowledgedAndTheBoxMaySendAgain) {
    EngineHarness h;
    ReachReadback(h);
    Bytes firstAnswer;
    bool secondAnswered = true;
    {
        // Nothing is reported inside: a report into a file would fail too.
        const FileSizeLimit limit(2048);
        h.Receive(EngineHarness::BoxBlock(0, BlockData(0)));
        firstAnswer = h.NextFrame();
        h.Receive(EngineHarness::BoxBlock(2, BlockData(2)));
        secondAnswered = !h.NoFurtherFrame();
    }
    EXPECT_EQ(firstAnswer, Of("ACK"));
    EXPECT_FALSE(secondAnswered);
    EXPECT_NE(h.log.find(WithImage("Block 2 from the box was not stored and is not acknowledged: "
                                   "cannot write IMAGE: File too large\r\n",
                                   h.imagePath)),
              std::string::npos)
        << h.log;
    h.Receive(EngineHarness::BoxBlock(2, BlockData(2)));
    EXPECT_EQ(h.NextFrame(), Of("ACK")) << "sent again once there is room";
    EXPECT_EQ(ReadFile(h.imagePath), Placed({0, -1, 2}));
}

}  // namespace
}  // namespace vantrel
