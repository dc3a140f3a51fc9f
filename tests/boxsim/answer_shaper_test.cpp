#include "boxsim/answer_shaper.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using std::chrono::milliseconds;

// "pause 89583us", "write ACK": the steps as readable lines.
std::vector<std::string> Describe(const PeerSteps& steps) {
    std::vector<std::string> lines;
    for (const PeerStep& step : steps) {
        if (step.kind == PeerStep::Kind::kPause) {
            lines.push_back("pause " + std::to_string(step.pause.count()) + "us");
        } else {
            lines.push_back("write " + std::string(step.bytes.begin(), step.bytes.end()));
        }
    }
    return lines;
}

struct ShapeCase {
    const char* name;
    std::function<void(PeerOptions&)> configure;
    std::size_t answeredLength;
    // The steps of the first, second and third answer.
    std::vector<std::vector<std::string>> answers;
};

// Names the case in test listings.
void PrintTo(const ShapeCase& c, std::ostream* out) {
    *out << c.name;
}

class AnswerShaperTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(AnswerShaperTest, ShapesEachAnswer) {
    const ShapeCase& c = GetParam();
    PeerOptions options;
    options.pieceGap = milliseconds{15};
    c.configure(options);
    AnswerShaper shaper(options);
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
        EXPECT_EQ(Describe(shaper.Answer({'A', 'C', 'K'}, c.answeredLength)), c.answers[i])
            << "answer " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, AnswerShaperTest,
    ::testing::Values(ShapeCase{"at_once_by_default", [](PeerOptions&) {}, 1032, {{"write ACK"}}},
                      ShapeCase{"a_block_at_115200_baud_takes_its_wire_time",
                                [](PeerOptions& o) { o.pacingBaud = 115200; },
                                1032,
                                {{"pause 89583us", "write ACK"}}},
                      ShapeCase{"a_handshake_at_9600_baud",
                                [](PeerOptions& o) { o.pacingBaud = 9600; },
                                36,
                                {{"pause 37500us", "write ACK"}}},
                      ShapeCase{"console_text_before_every_second_answer",
                                [](PeerOptions& o) {
                                    o.consoleText = "flash ok\r\n";
                                    o.consoleEvery = 2;
                                },
                                3,
                                {{"write ACK"},
                                 {"write flash ok\r\n", "pause 15000us", "write ACK"},
                                 {"write ACK"}}},
                      ShapeCase{"answers_in_two_pieces",
                                [](PeerOptions& o) { o.splitAnswers = true; },
                                17,
                                {{"write AC", "pause 15000us", "write K"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrel
