#include "ui/image_selection.h"

#include <gtest/gtest.h>

#include "engine/image_digest.h"
#include "engine/image_file.h"
#include "tests/support/image_maker.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class ImageSelectionTest : public ::testing::Test {
  protected:
    std::string Write(const char* name, const test::ImageRecipe& recipe) {
        return dir.Write(name, test::MakeImageBytes(recipe));
    }
    // Presses the image Open button with the operator choosing `path`.
    void OpenImage(std::optional<std::string> path) {
        view.fileAnswers.push_back(std::move(path));
        images.OnOpenImage();
    }

    test::TempDir dir;
    test::RecordingView view;
    ModuleSlots slots;
    ImageSelection images{view, slots, "vantrel"};
};

TEST_F(ImageSelectionTest, AcceptedFileFillsBothBoxes) {
    const struct {
        test::ImageRecipe recipe;
        std::int32_t kind;
        const char* address;
    } cases[] = {{{"LOAD", 66560}, kImageLoad, "0x10000000"},
                 {{"APPL", 590848}, kImageAppl, "0x10010000"},
                 {{"LDAP", 1049600}, kImageLdap, "0x10000000"}};
    for (const auto& c : cases) {
        const std::string path = Write("image.bin", c.recipe);
        view.enabled[kIdFileName] = false;
        OpenImage(path);
        EXPECT_EQ(images.ImageKind(), c.kind);
        EXPECT_EQ(view.texts[kIdDestAddress], c.address);
        EXPECT_EQ(view.texts[kIdFileName], path);
        EXPECT_TRUE(view.enabled[kIdFileName]);
        EXPECT_TRUE(view.messages.empty());
    }
    ASSERT_EQ(view.lastFilters.size(), 2u);
    EXPECT_EQ(view.lastFilters[0].description, "Hex File(*.hex;*.bin)");
    EXPECT_EQ(view.lastFilters[0].patterns, (std::vector<std::string>{"*.hex", "*.bin"}));
}

TEST_F(ImageSelectionTest, RefusedFileShowsOneErrorBoxAndKeepsTheBoxes) {
    const std::string good = Write("good.bin", {"LOAD", 66560});
    OpenImage(good);
    const struct {
        const char* name;
        std::optional<std::string> choice;
        std::string message;  // empty: no box
    } cases[] = {
        {"too long", Write("long.bin", {"LOAD", 66561}), "[LD]file size error [66561] "},
        {"bad magic", Write("magic.bin", {"LOAD", 66560, "XKMR"}), "file type error [0] "},
        {"vanished", dir.File("vanished.bin"), "Cannot open " + dir.File("vanished.bin")},
        {"cancelled", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        view.messages.clear();
        OpenImage(c.choice);
        EXPECT_EQ(images.ImageKind(), kImageNone) << c.name;
        EXPECT_EQ(view.texts[kIdFileName], good) << c.name;
        EXPECT_EQ(view.texts[kIdDestAddress], "0x10000000") << c.name;
        if (c.message.empty()) {
            EXPECT_TRUE(view.messages.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(view.messages.size(), 1u) << c.name;
        EXPECT_EQ(view.messages[0].text, c.message);
        EXPECT_EQ(view.messages[0].caption, "Error");
        EXPECT_EQ(view.messages[0].icon, MessageIcon::kNone);
    }
}

TEST_F(ImageSelectionTest, StartLoadsWhatTheBoxesName) {
    const std::string path = Write("app.bin", {"APPL", 590848});
    OpenImage(path);
    images.LoadImageIntoSlot();
    EXPECT_EQ(slots.ModuleCount(), 1u);
    EXPECT_EQ(slots[0].kind, kImageAppl);
    EXPECT_EQ(slots[0].destAddress, "0x10010000");
    EXPECT_EQ(slots.TotalBlocks(), 577u);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ImageSelectionTest, FileDeletedBeforeStartIsReportedWithAWarning) {
    const std::string path = Write("load.bin", {"LOAD", 66560});
    OpenImage(path);
    std::filesystem::remove(path);
    images.LoadImageIntoSlot();
    EXPECT_EQ(slots.ModuleCount(), 0u);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Can't found [" + path + "]");
    EXPECT_EQ(view.messages[0].caption, "vantrel");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::kWarning);
}

TEST_F(ImageSelectionTest, StartSendsOnlyBytesThatPassTheChecksAgain) {
    const std::string opened = test::MakeImageBytes({"LOAD", 66560});
    std::string changed = opened;
    changed.back() ^= 1;
    const struct {
        const char* name;
        std::string onDisk;   // what the file holds when Start reads it
        bool pinned;          // Start takes only the bytes that were opened
        std::string message;  // empty: loaded
    } cases[] = {
        {"unchanged", opened, false, ""},
        {"truncated", opened.substr(0, 1000), false, "[LD]file size error [1000] "},
        {"another kind", test::MakeImageBytes({"APPL", 590848}), false, "file type error [2] "},
        {"random bytes", std::string(66560, '\x17'), false, "file type error [0] "},
        {"changed, not pinned", changed, false, ""},
        {"unchanged, pinned", opened, true, ""},
        {"changed, pinned", changed, true,
         "The image changed since it was pinned: SHA-256 " +
             ShortDigest(Sha256Hex(AsBytes(changed))) + " instead of " +
             ShortDigest(Sha256Hex(AsBytes(opened)))},
    };
    for (const auto& c : cases) {
        ModuleSlots caseSlots;
        test::RecordingView caseView;
        ImageSelection selection{caseView, caseSlots, "vantrel"};
        if (c.pinned) {
            selection.PinSha256(Sha256Hex(AsBytes(opened)));
        }
        const std::string path = dir.Write("image.bin", opened);
        caseView.fileAnswers.push_back(path);
        selection.OnOpenImage();
        dir.Write("image.bin", c.onDisk);
        selection.LoadImageIntoSlot();
        EXPECT_EQ(selection.LoadedSha256(), Sha256Hex(AsBytes(c.onDisk))) << c.name;
        if (c.message.empty()) {
            EXPECT_EQ(caseSlots.ModuleCount(), 1u) << c.name;
            EXPECT_TRUE(caseView.messages.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(caseSlots.ModuleCount(), 0u) << c.name << ": no frame can be built";
        EXPECT_EQ(selection.ImageKind(), kImageNone) << c.name << ": Open again first";
        ASSERT_EQ(caseView.messages.size(), 1u) << c.name;
        EXPECT_EQ(caseView.messages[0].text, c.message) << c.name;
        EXPECT_EQ(caseView.messages[0].caption, "Error") << c.name;
    }
}

TEST_F(ImageSelectionTest, StartWithEmptyBoxesLoadsNothingSilently) {
    images.LoadImageIntoSlot();
    EXPECT_EQ(slots.ModuleCount(), 0u);
    EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace vantrel
