#include "boxsim/frame_checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/boxsim/tool_frames.h"

namespace vantrel {
namespace {

using Frame = std::vector<std::uint8_t>;

// 2500 bytes: blocks of 1024, 1024 and 452.
const Frame kModule = test::MakeModule(2500);
const ModuleHeader kHeader = DecodeModuleHeader(test::HeaderFrame(kModule));

struct CheckCase {
    const char* name;
    std::function<std::optional<std::string>()> check;
    std::string failure;  // empty: the frame passes
};

// Names the case in test listings.
void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FrameCheckTest, NamesTheFrameAndTheCheck) {
    const CheckCase& c = GetParam();
    const auto failure = c.check();
    if (c.failure.empty()) {
        EXPECT_EQ(failure, std::nullopt);
    } else {
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(*failure, c.failure);
    }
}

Frame Changed(Frame frame, std::size_t offset, std::uint8_t value) {
    frame[offset] = value;
    return frame;
}

std::optional<std::string> Block(const Frame& frame, std::uint32_t expected) {
    return CheckBlock(frame, kHeader, expected);
}

std::optional<std::string> Header(const Frame& frame) {
    return CheckModuleHeader(DecodeModuleHeader(frame));
}

// A header for kModule whose fields at `offset` are replaced.
Frame HeaderWith(std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    Frame frame = test::HeaderFrame(kModule);
    std::copy(bytes.begin(), bytes.end(), frame.begin() + static_cast<std::ptrdiff_t>(offset));
    return frame;
}

// The module as far as `blocks` blocks carry it.
Frame Arrived(std::uint32_t blocks) {
    return Frame(kModule.begin(), kModule.begin() + std::min<std::ptrdiff_t>(blocks * 1024, 2500));
}

// The module checksum report when the module's sum is `delta` above the header's.
std::string ModuleSumText(int delta) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "MEN: Sum16 of the module is 0x%04X, the module header announced 0x%04X",
                  static_cast<unsigned>((kHeader.checksum + delta) & 0xFFFF),
                  static_cast<unsigned>(kHeader.checksum));
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, FrameCheckTest,
    ::testing::Values(
        CheckCase{"good_handshake", [] { return CheckHandshake(test::HandshakeFrame()); }, ""},
        CheckCase{"handshake_byte_3",
                  [] { return CheckHandshake(Changed(test::HandshakeFrame(), 3, 0x02)); },
                  "GBE: byte 3 is 0x02, expected 0x01"},
        CheckCase{"handshake_identifier_text",
                  [] { return CheckHandshake(Changed(test::HandshakeFrame(), 12, 'X')); },
                  "GBE: the loader identifier does not begin with \"KOSMA_QRN\" and a NUL"},
        CheckCase{"handshake_identifier_without_its_nul",
                  [] { return CheckHandshake(Changed(test::HandshakeFrame(), 13, '1')); },
                  "GBE: the loader identifier does not begin with \"KOSMA_QRN\" and a NUL"},
        CheckCase{"settings_tail_after_the_identifier_is_fine",
                  [] { return CheckHandshake(Changed(test::HandshakeFrame(), 14, 'V')); }, ""},
        CheckCase{"good_header", [] { return Header(test::HeaderFrame(kModule)); }, ""},
        CheckCase{"header_of_each_kind", [] { return Header(test::HeaderFrame(kModule, 3)); }, ""},
        CheckCase{"header_unknown_tag",
                  [] {
                      return Header(HeaderWith(3, {'X', 'Y'}));
                  },
                  "MBE: unknown module tag 0x58 0x59"},
        CheckCase{"header_length_zero",
                  [] {
                      return Header(HeaderWith(11, {0, 0, 0, 0}));
                  },
                  "MBE: the module length is 0"},
        CheckCase{"header_count_not_the_length_s",
                  [] {
                      return Header(HeaderWith(5, {0, 4}));
                  },
                  "MBE: block count 4 does not match the length 2500 (3 blocks)"},
        CheckCase{"good_full_block", [] { return Block(test::BlockFrame(kModule, 1), 1); }, ""},
        CheckCase{"good_short_last_block", [] { return Block(test::BlockFrame(kModule, 2), 2); },
                  ""},
        CheckCase{"block_out_of_order", [] { return Block(test::BlockFrame(kModule, 2), 1); },
                  "BLK 2: out of order, expected block 1"},
        CheckCase{"block_beyond_the_module",
                  [] { return Block(Changed(test::BlockFrame(kModule, 2), 4, 3), 3); },
                  "BLK 3: beyond the 3 blocks of the module header"},
        CheckCase{"short_data_length_in_a_full_block",
                  [] {
                      return Block(Changed(Changed(test::BlockFrame(kModule, 0), 5, 0x03), 6, 0xFF),
                                   0);
                  },
                  "BLK 0: data length 1023, expected 1024"},
        CheckCase{"non_zero_fill",
                  [] { return Block(Changed(test::BlockFrame(kModule, 2), 7 + 452 + 9, 1), 2); },
                  "BLK 2: byte 468 of the fill after the data is 0x01, expected 0"},
        CheckCase{"checksum",
                  [] {
                      // 1024 bytes of 0x01 sum to 0x00 modulo 256.
                      const Frame ones(1024, 0x01);
                      return Block(Changed(test::BlockFrame(ones, 0), 1031, 0x05), 0);
                  },
                  "BLK 0: checksum 0x05, Sum8 of the data is 0x00"},
        CheckCase{"module_end_after_all_blocks", [] { return CheckModuleEnd(kHeader, kModule, 3); },
                  ""},
        CheckCase{"module_end_too_early", [] { return CheckModuleEnd(kHeader, Arrived(2), 2); },
                  "MEN: after 2 of the 3 blocks of the module header"},
        CheckCase{"module_whose_checksum_differs",
                  [] {
                      Frame module = kModule;
                      ++module[100];  // 29 becomes 30: the sum grows by one
                      return CheckModuleEnd(kHeader, module, 3);
                  },
                  ModuleSumText(1)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrel
