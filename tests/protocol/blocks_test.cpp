#include "protocol/blocks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

namespace vantrel {
namespace {

// The count comes back in the caller's type, so no caller narrows it.
static_assert(std::is_same_v<decltype(BlocksOf(std::uint32_t{1})), std::uint32_t>);
static_assert(std::is_same_v<decltype(BlocksOf(std::uint64_t{1})), std::uint64_t>);
static_assert(std::is_same_v<decltype(BlocksOf(std::size_t{1})), std::size_t>);

TEST(BlocksOf, RoundsUp) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {0, 0},    {1, 1},      {1023, 1},     {1024, 1},
        {1025, 2}, {66560, 65}, {590848, 577}, {1049600, 1025}};
    for (const auto& [length, blocks] : cases) {
        EXPECT_EQ(BlocksOf(length), blocks) << length;
    }
}

TEST(BlocksOf, NoLengthOverflows) {
    constexpr std::uint32_t kMax32 = std::numeric_limits<std::uint32_t>::max();
    const std::pair<std::uint32_t, std::uint32_t> cases32[] = {
        {kMax32 - 1023, 0x3FFFFF},
        {kMax32 - 1022, 0x400000},
        {kMax32, 0x400000},
    };
    for (const auto& [length, blocks] : cases32) {
        EXPECT_EQ(BlocksOf(length), blocks) << length;
    }
    constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();
    const std::pair<std::uint64_t, std::uint64_t> cases64[] = {
        {std::uint64_t{1} << 32, std::uint64_t{1} << 22},
        {(std::uint64_t{1} << 32) + 1, (std::uint64_t{1} << 22) + 1},
        {kMax64 - 1023, (std::uint64_t{1} << 54) - 1},
        {kMax64, std::uint64_t{1} << 54},
    };
    for (const auto& [length, blocks] : cases64) {
        EXPECT_EQ(BlocksOf(length), blocks) << length;
    }
}

}  // namespace
}  // namespace vantrel
