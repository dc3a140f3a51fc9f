#include "core/image_load.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/image_digest.h"
#include "engine/image_file.h"
#include "tests/support/image_maker.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using Cause = port_event::StartRefused::Cause;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(LoadChosenImage, LoadsWhatTheChoiceNames) {
    test::TempDir dir;
    ModuleSlots slots;
    const std::string path = dir.Write("app.bin", test::MakeImageBytes({"APPL", 590848}));
    const ImageLoad load = LoadChosenImage(slots, ImageChoice::Of(path, kImageAppl), {});
    EXPECT_FALSE(load.refusal.has_value());
    EXPECT_EQ(slots.ModuleCount(), 1u);
    EXPECT_EQ(slots[0].kind, kImageAppl);
    EXPECT_EQ(slots[0].destAddress, "0x10010000");
    EXPECT_EQ(slots.TotalBlocks(), 577u);
}

TEST(LoadChosenImage, NothingToReadIsRefusedWithWhatTheWindowShows) {
    test::TempDir dir;
    const struct {
        const char* name;
        ImageChoice choice;
        Cause cause;
        std::string alert;
    } cases[] = {
        {"empty boxes", {}, Cause::kNoImage, ""},
        {"deleted before Start", ImageChoice::Of(dir.File("gone.bin"), kImageLoad),
         Cause::kImageMissing, "Can't found [" + dir.File("gone.bin") + "]"},
    };
    for (const auto& c : cases) {
        ModuleSlots slots;
        const ImageLoad load = LoadChosenImage(slots, c.choice, {});
        ASSERT_TRUE(load.refusal.has_value()) << c.name;
        EXPECT_EQ(load.refusal->cause, c.cause) << c.name;
        EXPECT_EQ(load.refusal->alert, c.alert) << c.name;
        EXPECT_EQ(slots.ModuleCount(), 0u) << c.name;
        EXPECT_FALSE(load.sha256.has_value()) << c.name;
    }
}

TEST(LoadChosenImage, SendsOnlyBytesThatPassTheChecksAgain) {
    test::TempDir dir;
    const std::string opened = test::MakeImageBytes({"LOAD", 66560});
    std::string changed = opened;
    changed.back() ^= 1;
    const std::string openedSha = Sha256Hex(AsBytes(opened));
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
             ShortDigest(Sha256Hex(AsBytes(changed))) + " instead of " + ShortDigest(openedSha)},
    };
    for (const auto& c : cases) {
        ModuleSlots slots;
        const std::string path = dir.Write("image.bin", c.onDisk);
        const ImageLoad load = LoadChosenImage(slots, ImageChoice::Of(path, kImageLoad),
                                               c.pinned ? std::optional(openedSha) : std::nullopt);
        EXPECT_EQ(load.sha256, Sha256Hex(AsBytes(c.onDisk))) << c.name;
        if (c.message.empty()) {
            EXPECT_FALSE(load.refusal.has_value()) << c.name;
            EXPECT_EQ(slots.ModuleCount(), 1u) << c.name;
            continue;
        }
        EXPECT_EQ(slots.ModuleCount(), 0u) << c.name << ": no frame can be built";
        ASSERT_TRUE(load.refusal.has_value()) << c.name;
        EXPECT_EQ(load.refusal->cause, Cause::kImageRefused) << c.name;
        EXPECT_EQ(load.refusal->alert, c.message) << c.name;
        EXPECT_EQ(load.refusal->reason, "the image " + path + " was refused: " + c.message);
    }
}

}  // namespace
}  // namespace vantrel
