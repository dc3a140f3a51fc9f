#include "engine/module_slots.h"

#include <gtest/gtest.h>

#include "tests/support/image_maker.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

bool IsCleared(const ModuleSlot& slot) {
    return slot.empty == 1 && slot.selected == 0 && slot.data.empty() && slot.imageLength == 0 &&
           slot.blockCount == 0 && slot.blocksSent == 0 && slot.bytesSent == 0 &&
           slot.fileName.empty() && slot.destAddress.empty();
}

TEST(ModuleSlots, StartCleared) {
    ModuleSlots slots;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        EXPECT_TRUE(IsCleared(slots[i])) << i;
    }
    EXPECT_EQ(slots.ModuleCount(), 0u);
    EXPECT_EQ(slots.TotalBlocks(), 0u);
    EXPECT_EQ(slots.FirstSelectedSlot(), nullptr);
}

TEST(ModuleSlots, LoadFillsTheFirstSlotWithTheFileAndAZeroByte) {
    test::TempDir dir;
    const std::string image = test::MakeImageBytes({"LOAD", 66560});
    const std::string path = dir.Write("load.bin", image);
    ModuleSlots slots;
    ASSERT_EQ(slots.LoadImageIntoSlot("0x10000000", path, 1), LoadResult::kLoaded);

    const ModuleSlot& slot = slots[0];
    EXPECT_EQ(slot.empty, 0u);
    EXPECT_EQ(slot.selected, 1u);
    EXPECT_EQ(slot.kind, 1);
    EXPECT_EQ(slot.fileName, path);
    EXPECT_EQ(slot.destAddress, "0x10000000");
    EXPECT_EQ(slot.imageLength, 66560u);
    EXPECT_EQ(slot.blockCount, 65u);
    EXPECT_EQ(slot.blocksSent, 0u);
    EXPECT_EQ(slot.bytesSent, 0u);
    ASSERT_EQ(slot.data.size(), 66561u);
    EXPECT_EQ(slot.data.back(), 0);
    EXPECT_TRUE(
        std::equal(image.begin(), image.end(), slot.data.begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    for (std::size_t i = 1; i < kSlotCount; ++i) {
        EXPECT_EQ(slots[i].empty, 0u) << "the other slots are zeroed, not cleared";
        EXPECT_EQ(slots[i].selected, 0u);
    }
    EXPECT_EQ(slots.ModuleCount(), 1u);
    EXPECT_EQ(slots.TotalBlocks(), 65u);
    EXPECT_EQ(slots.FirstSelectedSlot(), &slots[0]);

    slots.ClearSlots();
    EXPECT_TRUE(IsCleared(slots[0]));
    EXPECT_EQ(slots[0].kind, 1) << "clearing keeps the kind";
    EXPECT_EQ(slots.TotalBlocks(), 0u);
    EXPECT_EQ(slots.ModuleCount(), 0u);
}

TEST(ModuleSlots, TheFileIsReadAsItIsAtStartWithoutNewChecks) {
    const struct {
        std::size_t length;
        std::uint32_t blocks;
    } cases[] = {{1500, 2}, {1024, 1}, {1025, 2}, {1, 1}, {0, 0}};
    test::TempDir dir;
    for (const auto& c : cases) {
        // The accepted file was replaced on disk before Start.
        const std::string path = dir.Write("image.bin", std::string(c.length, 'q'));
        ModuleSlots slots;
        ASSERT_EQ(slots.LoadImageIntoSlot("0x10000000", path, 1), LoadResult::kLoaded);
        EXPECT_EQ(slots[0].imageLength, c.length);
        EXPECT_EQ(slots[0].blockCount, c.blocks);
        EXPECT_EQ(slots.TotalBlocks(), c.blocks);
        EXPECT_EQ(slots[0].data.size(), c.length + 1);
    }
}

TEST(ModuleSlots, LoadFailures) {
    test::TempDir dir;
    const std::string present = dir.Write("present.bin", std::string(100, 'x'));
    const struct {
        const char* name;
        std::string address;
        std::string file;
        LoadResult result;
    } cases[] = {
        {"no address", "", present, LoadResult::kMissingText},
        {"no file name", "0x10000000", "", LoadResult::kMissingText},
        {"deleted file", "0x10000000", dir.File("deleted.bin"), LoadResult::kCannotOpen},
        {"a directory", "0x10000000", dir.Path().string(), LoadResult::kCannotOpen},
    };
    for (const auto& c : cases) {
        ModuleSlots slots;
        ASSERT_EQ(slots.LoadImageIntoSlot("0x10000000", present, 1), LoadResult::kLoaded);
        EXPECT_EQ(slots.LoadImageIntoSlot(c.address, c.file, 1), c.result) << c.name;
        EXPECT_EQ(slots.ModuleCount(), 0u) << c.name;
        EXPECT_EQ(slots.FirstSelectedSlot(), nullptr) << c.name;
        EXPECT_TRUE(slots[0].data.empty()) << c.name << ": the earlier image is released";
    }
}

}  // namespace
}  // namespace vantrel
