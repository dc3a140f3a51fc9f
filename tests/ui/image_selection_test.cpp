#include "ui/image_selection.h"

#include <gtest/gtest.h>

#include "engine/image_file.h"
#include "tests/support/image_maker.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

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
    ImageSelection images{view};
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

}  // namespace
}  // namespace vantrel
