#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/checksum.h"
#include "protocol/hex_text.h"

namespace vantrel {
namespace {

TEST(Checksums, AddWithWrapAroundAndNoSeed) {
    const struct {
        std::vector<std::uint8_t> bytes;
        std::uint8_t sum8;
        std::uint16_t sum16;
    } cases[] = {
        {{}, 0, 0},
        {{0x80, 0x80}, 0, 0x100},
        {std::vector<std::uint8_t>(300, 0xFF), 0xD4, 0x2AD4},
        {{1, 2, 3}, 6, 6},
        {std::vector<std::uint8_t>(65536 / 0xFF * 2, 0xFF), 0xFE, 0xFFFE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sum8(c.bytes), c.sum8) << c.bytes.size();
        EXPECT_EQ(Sum16(c.bytes), c.sum16) << c.bytes.size();
    }
    // 257 runs of 0xFF sum to 65535; one more byte of 1 wraps to 0.
    std::vector<std::uint8_t> wrap(257, 0xFF);
    wrap.push_back(1);
    EXPECT_EQ(Sum16(wrap), 0);
}

TEST(ReadBE16, IsUnsignedAndBigEndian) {
    const struct {
        std::uint8_t bytes[2];
        std::uint16_t value;
    } cases[] = {{{0xFF, 0xFE}, 65534}, {{0x04, 0x00}, 1024}, {{0x00, 0x0A}, 10}, {{0, 0}, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReadBE16(c.bytes), c.value);
    }
}

TEST(HexDigitValue, AcceptsBothCasesOnly) {
    const std::string digits = "0123456789abcdefABCDEF";
    const int values[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                          11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        EXPECT_EQ(HexDigitValue(digits[i]), values[i]) << digits[i];
    }
    for (char c : std::string("gGxX /:@`\0\xFF", 12)) {
        EXPECT_EQ(HexDigitValue(c), -1) << int(c);
    }
}

TEST(HexToU32, ParsesLeadingDigitsKeepingTheLastEight) {
    const struct {
        std::string text;
        std::uint32_t value;
        std::size_t digits;
    } cases[] = {
        {"10010000", 0x10010000, 8},
        {"123456789", 0x23456789, 9},
        {"1G", 1, 1},
        {"", 0, 0},
        {"x10", 0, 0},
        {"ffffFFFF", 0xFFFFFFFF, 8},
        {std::string("12\0"
                     "34",
                     5),
         0x12, 2},
    };
    for (const auto& c : cases) {
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(HexToU32(c.text, value), c.digits) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

}  // namespace
}  // namespace vantrel
