#include "boxsim/received_frame_splitter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/boxsim/tool_frames.h"

namespace vantrel {
namespace {

using test::AsText;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// One item as "GBE:36" for a frame or "?:5" for skipped bytes.
std::string Describe(const ReceivedItem& item) {
    const std::string name =
        item.kind == ReceivedItem::Kind::kGarbage ? "?" : AsText(item.bytes).substr(0, 3);
    return name + ":" + std::to_string(item.bytes.size());
}

struct SplitCase {
    const char* name;
    std::vector<std::uint8_t> stream;
    std::size_t chunk;  // the stream arrives in pieces of this size
    std::vector<std::string> items;
    std::size_t partial;  // bytes still held at the end
};

// Names the case in test listings.
void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class SplitterTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitterTest, SplitsTheToolsStream) {
    const SplitCase& c = GetParam();
    ReceivedFrameSplitter splitter;
    std::vector<std::string> items;
    for (std::size_t at = 0; at < c.stream.size(); at += c.chunk) {
        const std::size_t length = std::min(c.chunk, c.stream.size() - at);
        for (const ReceivedItem& item : splitter.Append(std::span(c.stream).subspan(at, length))) {
            items.push_back(Describe(item));
        }
    }
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(splitter.TakePartial().bytes.size(), c.partial);
}

const std::vector<std::uint8_t> kModule = test::MakeModule(1500);

INSTANTIATE_TEST_SUITE_P(
    BoxSim, SplitterTest,
    ::testing::Values(
        SplitCase{"back_to_back_in_one_chunk",
                  Join({test::HandshakeFrame(), test::HeaderFrame(kModule),
                        test::BlockFrame(kModule, 0), Bytes("MENGENCNLACK")}),
                  4096,
                  {"GBE:36", "MBE:17", "BLK:1032", "MEN:3", "GEN:3", "CNL:3", "ACK:3"},
                  0},
        SplitCase{"one_byte_at_a_time",
                  Join({test::BlockFrame(kModule, 1), test::CommandFrame(kFrameMen)}),
                  1,
                  {"BLK:1032", "MEN:3"},
                  0},
        SplitCase{"garbage_before_a_frame_is_skipped_to_the_command",
                  Join({Bytes("xyzGB"), test::HandshakeFrame()}),
                  7,
                  {"?:5", "GBE:36"},
                  0},
        SplitCase{"the_start_of_a_command_after_garbage_is_held", Bytes("--GE"), 100, {"?:2"}, 2},
        SplitCase{"a_false_start_is_garbage_too", Bytes("--GEX"), 100, {"?:5"}, 0},
        SplitCase{"an_incomplete_frame_is_held", Bytes("GBE\x01KOSMA"), 100, {}, 9},
        SplitCase{"the_first_letters_of_a_command_are_held", Bytes("ACKME"), 100, {"ACK:3"}, 2},
        SplitCase{"the_box_s_own_words_are_garbage", Bytes("NAKBOOT"), 100, {"?:7"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrel
