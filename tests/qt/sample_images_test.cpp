// The demo's sample images pass the tool's own image check, each kind with
// its exact size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/image_file.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

TEST(SampleImages, OneOfEachKindPassesTheImageCheck) {
    test::TempDir dir;
    const std::string command = "bash '" VANTREL_SOURCE_DIR "/tools/make-sample-images.sh' '" +
                                dir.Path().string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    struct Case {
        const char* file;
        std::int32_t kind;
        std::uintmax_t size;
    };
    const Case cases[] = {
        {"sample-load.bin", 1, 66560},
        {"sample-appl.bin", 2, 590848},
        {"sample-ldap.bin", 3, 1049600},
    };
    for (const Case& c : cases) {
        const ImageCheck check = InspectImageFile(dir.File(c.file));
        EXPECT_EQ(check.kind, c.kind) << c.file << ": " << check.error;
        EXPECT_EQ(std::filesystem::file_size(dir.File(c.file)), c.size) << c.file;
    }
}

}  // namespace
}  // namespace vantrel
