#include "engine/image_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/image_maker.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using test::ImageRecipe;
using test::MakeImageBytes;

TEST(InspectImageFile, AcceptsEachKindAtItsSize) {
    const struct {
        const char* kindText;
        std::size_t size;
        std::int32_t kind;
        const char* address;
    } cases[] = {
        {"LOAD", 66560, kImageLoad, "0x10000000"},
        {"APPL", 590848, kImageAppl, "0x10010000"},
        {"LDAP", 1049600, kImageLdap, "0x10000000"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.Write(c.kindText, MakeImageBytes({c.kindText, c.size}));
        const ImageCheck check = InspectImageFile(path);
        EXPECT_EQ(check.kind, c.kind) << c.kindText;
        EXPECT_EQ(check.error, "") << c.kindText;
        EXPECT_EQ(FindImageKind(check.kind)->destAddress, c.address);
    }
}

TEST(InspectImageFile, RefusesWithTheOneMessageOfTheFirstFailedCheck) {
    const std::string header =
        "an image starts with ZKMR, 29 at byte 8 and LOAD, APPL or LDAP at byte 12";
    const struct {
        const char* name;
        ImageRecipe recipe;
        std::string error;
        std::string expected;
    } cases[] = {
        {"LOAD of 1,000 bytes",
         {"LOAD", 1000},
         "[LD]file size error [1000] ",
         "a LOAD image is 66,560 bytes; this file has 1,000"},
        {"LOAD one byte long",
         {"LOAD", 66561},
         "[LD]file size error [66561] ",
         "a LOAD image is 66,560 bytes; this file has 66,561"},
        {"LOAD one byte short",
         {"LOAD", 66559},
         "[LD]file size error [66559] ",
         "a LOAD image is 66,560 bytes; this file has 66,559"},
        {"APPL with LOAD's size",
         {"APPL", 66560},
         "[AP]file size error [66560] ",
         "an APPL image is 590,848 bytes; this file has 66,560"},
        {"LDAP one byte long",
         {"LDAP", 1049601},
         "[1M]file size error [1049601] ",
         "a LDAP image is 1,049,600 bytes; this file has 1,049,601"},
        {"shorter than the header", {"LOAD", 15}, "file type error [0] ", header},
        {"wrong magic", {"LOAD", 66560, "ZKMQ"}, "file type error [0] ", header},
        {"28 for 29", {"LOAD", 66560, "ZKMR", "28"}, "file type error [0] ", header},
        {"lower-case kind", {"load", 66560}, "file type error [0] ", header},
        {"unknown kind", {"LDAX", 66560}, "file type error [0] ", header},
        // The header is checked before the size.
        {"bad header and size", {"LOAX", 5}, "file type error [0] ", header},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.Write("image.bin", MakeImageBytes(c.recipe));
        const ImageCheck check = InspectImageFile(path);
        EXPECT_EQ(check.kind, kImageNone) << c.name;
        EXPECT_EQ(check.error, c.error) << c.name;
        EXPECT_EQ(check.expected, c.expected) << c.name;
    }
}

TEST(InspectImageFile, HeaderBytesOutsideTheCheckedFieldsMayHoldAnything) {
    test::TempDir dir;
    std::string bytes = MakeImageBytes({"APPL", 590848});
    bytes.replace(4, 4, "\0\xFF\0\xFF", 4);
    bytes.replace(10, 2, "zz");
    EXPECT_EQ(InspectImageFile(dir.Write("any.hex", bytes)).kind, kImageAppl);
}

TEST(InspectImageFile, FilesThatCannotBeReadAsImages) {
    test::TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO without a writer must be refused, not waited on.
    for (const std::string& path : {dir.File("missing.bin"), dir.Path().string(), fifo}) {
        const ImageCheck check = InspectImageFile(path);
        EXPECT_EQ(check.kind, kImageNone) << path;
        EXPECT_EQ(check.error, "Cannot open " + path);
    }
}

TEST(InspectImageFile, UnreadableFileForAnOrdinaryUser) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file; the other unreadable cases cover the message";
    }
    test::TempDir dir;
    const std::string path = dir.Write("locked.bin", MakeImageBytes({}));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(InspectImageFile(path).error, "Cannot open " + path);
}

TEST(ImageFileSize, LeavesThePositionAtTheEnd) {
    test::TempDir dir;
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(dir.Write("f", std::string(1500, 'x'))));
    EXPECT_EQ(ImageFileSize(file), 1500);
    std::uint8_t byte = 0;
    EXPECT_EQ(file.Read({&byte, 1}), 0u);
}

}  // namespace
}  // namespace vantrel
