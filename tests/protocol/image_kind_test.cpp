#include "protocol/image_kind.h"

#include <gtest/gtest.h>

#include <string_view>

namespace vantrel {
namespace {

TEST(KindOfTag, NamesTheKindOfEachModuleTagOnly) {
    const struct {
        std::string_view tag;
        std::int32_t kind;
    } cases[] = {
        {"LD", kImageLoad},
        {"SW", kImageAppl},
        {"LA", kImageLdap},
        // The size messages' labels and near misses name no kind.
        {"AP", kImageNone},
        {"1M", kImageNone},
        {"ld", kImageNone},
        {"L", kImageNone},
        {"LDA", kImageNone},
        {"", kImageNone},
        {{"\0\0", 2}, kImageNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOfTag(c.tag), c.kind) << c.tag;
    }
}

}  // namespace
}  // namespace vantrel
