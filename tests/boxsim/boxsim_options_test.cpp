#include "boxsim/boxsim_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using std::chrono::milliseconds;

std::variant<BoxSimOptions, CommandLineExit> Parse(std::vector<std::string_view> args) {
    std::vector<std::string> texts = {"vantrel-boxsim"};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& text : texts) {
        argv.push_back(text.c_str());
    }
    return ParseBoxSimOptions(static_cast<int>(argv.size()), argv.data());
}

// The error line of a refused command line without the program's prefix,
// once the exit status and the hint below it have been checked.
std::string ErrorOf(std::vector<std::string_view> args) {
    const auto parsed = Parse(std::move(args));
    const auto* exit = std::get_if<CommandLineExit>(&parsed);
    if (exit == nullptr) {
        return "(accepted)";
    }
    EXPECT_EQ(exit->status, 2);
    const std::string prefix = "vantrel-boxsim: error: ";
    const std::string hint = "\nRun with --help for more information.\n";
    EXPECT_TRUE(exit->text.starts_with(prefix) && exit->text.ends_with(hint)) << exit->text;
    return exit->text.substr(prefix.size(), exit->text.find('\n') - prefix.size());
}

struct BadArgumentsCase {
    std::vector<std::string_view> args;
    const char* error;
};

// Shows the arguments in test listings.
void PrintTo(const BadArgumentsCase& c, std::ostream* out) {
    for (const auto& arg : c.args) {
        *out << arg << ' ';
    }
}

class BadArgumentsTest : public ::testing::TestWithParam<BadArgumentsCase> {};

TEST_P(BadArgumentsTest, AreRefusedWithAClearReason) {
    EXPECT_EQ(ErrorOf(GetParam().args), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, BadArgumentsTest,
    ::testing::Values(
        BadArgumentsCase{{"--bogus"}, "unknown option --bogus"},
        BadArgumentsCase{{"/dev/ttyS0"}, "unexpected argument '/dev/ttyS0'"},
        BadArgumentsCase{{"--device"}, "--device needs a value: PATH"},
        BadArgumentsCase{{"--device="}, "--device needs a value: PATH"},
        BadArgumentsCase{{"--out", "m.bin", "--nak"}, "--nak needs a value: FRAMES"},
        BadArgumentsCase{{"--bench=1"}, "--bench takes no value"},
        BadArgumentsCase{{"--boot-delay", "-5"},
                         "--boot-delay: '-5' is not a number of milliseconds from 0 to 600000"},
        BadArgumentsCase{{"--boot-delay", "2s"},
                         "--boot-delay: '2s' is not a number of milliseconds from 0 to 600000"},
        BadArgumentsCase{{"--announce-every", "0"}, "--announce-every: must be above 0"},
        BadArgumentsCase{{"--baud", "0"}, "--baud: '0' is not a baud rate from 50 to 4000000"},
        BadArgumentsCase{{"--nak", "block:70000"},
                         "--nak: 'block:70000' is not a list of frames (handshake, header, "
                         "block:N, module-end)"},
        BadArgumentsCase{{"--nak", "header,,block:1"},
                         "--nak: 'header,,block:1' is not a list of frames (handshake, header, "
                         "block:N, module-end)"},
        BadArgumentsCase{{"--nak=global-end"},
                         "--nak: 'global-end' is not a list of frames (handshake, header, "
                         "block:N, module-end)"},
        BadArgumentsCase{{"--nak-always", "global-end"},
                         "--nak-always: 'global-end' is not a list of frames (handshake, header, "
                         "block:N, module-end)"},
        BadArgumentsCase{{"--silent", "trailer"},
                         "--silent: 'trailer' is not a list of frames (handshake, header, "
                         "block:N, module-end, global-end)"},
        BadArgumentsCase{{"--nak-random", "1"},
                         "--nak-random: '1' is not a probability from 0 to below 1"},
        BadArgumentsCase{{"--nak-random", "half"},
                         "--nak-random: 'half' is not a probability from 0 to below 1"},
        BadArgumentsCase{{"--console-every", "0"},
                         "--console-every: '0' is not a number from 1 to 1000000"},
        BadArgumentsCase{{"--console-text", "bad\\q"},
                         "--console-text: only \\r, \\n, \\t, \\0 and \\\\ may follow a backslash"},
        BadArgumentsCase{{"--readback-bad", "1,x"},
                         "--readback-bad: '1,x' is not a list of block numbers (0 to 65535)"},
        BadArgumentsCase{{"--readback-bad", "2"}, "--readback-bad needs --readback"}));

TEST(BoxSimOptions, EveryOptionReachesItsSetting) {
    const auto parsed = Parse({"--device",
                               "/dev/ttyUSB0",
                               "--out=m.bin",
                               "--boot-delay",
                               "0",
                               "--bench",
                               "--announce-every",
                               "1500",
                               "--baud",
                               "9600",
                               "--nak",
                               "handshake,block:3",
                               "--nak=module-end",
                               "--nak-random",
                               "0.25",
                               "--seed",
                               "42",
                               "--console-text",
                               "ok\\r\\n",
                               "--console-every",
                               "3",
                               "--split-answers",
                               "--piece-gap",
                               "5",
                               "--readback",
                               "rb.bin",
                               "--readback-bad",
                               "0,2",
                               "--readback-pause",
                               "50",
                               "--silent",
                               "global-end",
                               "--vanish",
                               "block:9",
                               "--nak-always",
                               "block:4",
                               "--restart-at",
                               "header,global-end"});
    ASSERT_TRUE(std::holds_alternative<BoxSimOptions>(parsed))
        << std::get<CommandLineExit>(parsed).text;
    const BoxSimOptions& o = std::get<BoxSimOptions>(parsed);
    EXPECT_EQ(o.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(o.outPath, "m.bin");
    EXPECT_EQ(o.readbackPath, "rb.bin");
    const PeerOptions& p = o.peer;
    EXPECT_EQ(p.bootDelay, milliseconds{0});
    EXPECT_TRUE(p.bench);
    EXPECT_EQ(p.announceInterval, milliseconds{1500});
    EXPECT_EQ(p.pacingBaud, 9600u);
    const std::vector<FrameSelector> naks = {{FrameSelector::Frame::kHandshake, 0},
                                             {FrameSelector::Frame::kBlock, 3},
                                             {FrameSelector::Frame::kModuleEnd, 0}};
    EXPECT_EQ(p.nakFrames, naks);
    EXPECT_DOUBLE_EQ(p.nakProbability, 0.25);
    EXPECT_EQ(p.nakSeed, 42u);
    EXPECT_EQ(p.consoleText, "ok\r\n");
    EXPECT_EQ(p.consoleEvery, 3u);
    EXPECT_TRUE(p.splitAnswers);
    EXPECT_EQ(p.pieceGap, milliseconds{5});
    EXPECT_EQ(p.readbackBadBlocks, (std::vector<std::uint16_t>{0, 2}));
    EXPECT_EQ(p.readbackPause, milliseconds{50});
    EXPECT_EQ(p.silentFrames, (std::vector<FrameSelector>{{FrameSelector::Frame::kGlobalEnd, 0}}));
    EXPECT_EQ(p.vanishFrames, (std::vector<FrameSelector>{{FrameSelector::Frame::kBlock, 9}}));
    EXPECT_EQ(p.nakAlwaysFrames, (std::vector<FrameSelector>{{FrameSelector::Frame::kBlock, 4}}));
    EXPECT_EQ(p.restartFrames, (std::vector<FrameSelector>{{FrameSelector::Frame::kHeader, 0},
                                                           {FrameSelector::Frame::kGlobalEnd, 0}}));
}

}  // namespace
}  // namespace vantrel
