// vantrel-cli run as a script runs it: exit status, output line by line
// through a pipe, the result line or JSON at the end, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "boxsim/frame_selector.h"
#include "engine/image_digest.h"
#include "records/sqlite_record_store.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/json_text.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

constexpr int kUpdated = 0;
constexpr int kFailed = 1;
constexpr int kNotStarted = 2;

class CliProcess : public ::testing::Test {
  protected:
    std::string Image(std::size_t size = 66560) {
        return dir.Write("image.bin", test::MakeImageBytes({"LOAD", size}));
    }

    // Starts vantrel-cli on the stand-in's line and lets the box announce
    // itself once the CLI has pressed Start.
    std::unique_ptr<test::ChildProcess> StartCli(test::StandIn& box,
                                                 std::vector<std::string> extra = {}) {
        std::vector<std::string> argv = {VANTREL_CLI_PATH, "--device", box.Path()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(Image());
        auto cli = std::make_unique<test::ChildProcess>(argv);
        EXPECT_TRUE(cli->WaitForLine("Wait for STB BOOT...", 10s)) << cli->Out() << cli->Err();
        box.Run();
        return cli;
    }

    // The last line of standard output: the unit's result.
    static std::string LastLine(const std::string& out) {
        const std::size_t end = out.ends_with('\n') ? out.size() - 1 : out.size();
        const std::size_t start = out.rfind('\n', end == 0 ? 0 : end - 1);
        return out.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
    }

    test::TempDir dir;
};

// The box announces itself every tenth of a second, so a CLI that prints
// no "Wait for STB BOOT..." can be run to its end too.
PeerOptions AnnouncingOptions() {
    PeerOptions options = test::InstantOptions();
    options.bench = true;
    options.announceInterval = 100ms;
    return options;
}

TEST_F(CliProcess, SuccessfulUpdateExitsZeroWithEachStatusOnItsLine) {
    test::StandIn box(test::InstantOptions());
    auto cli = StartCli(box);
    EXPECT_EQ(cli->Wait(30s), kUpdated);
    EXPECT_NE(cli->Out().find("Updating modules...[Module - LD : 65/65]\n"
                              "Writing modules...[Module : LD]\n"
                              "Complete updating successfully...\n"),
              std::string::npos)
        << cli->Out();
    EXPECT_NE(cli->Out().find("log: >> Uploading... [100 %]\n"), std::string::npos);
    const std::string result = LastLine(cli->Out());
    EXPECT_TRUE(
        result.starts_with("updated PORT 1 (" + box.Path() + ") with image.bin: 65 blocks in "))
        << result;
    EXPECT_TRUE(result.ends_with(" kB/s, no frame sent again")) << result;
    EXPECT_EQ(cli->Err(), "");
    EXPECT_TRUE(RunSucceeded(box.Finish()));
}

TEST_F(CliProcess, RefusedModuleEndExitsOne) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    test::StandIn box(options);
    auto cli = StartCli(box);
    EXPECT_EQ(cli->Wait(30s), kFailed);
    EXPECT_NE(cli->Out().find("Error...Update failed!\n"), std::string::npos) << cli->Out();
    EXPECT_EQ(LastLine(cli->Out()), "failed: the box refused the module end");
    EXPECT_EQ(cli->Err(), "vantrel-cli: error: update failed: the box refused the module end\n");
}

TEST_F(CliProcess, LostLineFailsAtItsBlock) {
    PeerOptions options = test::InstantOptions();
    options.vanishFrames = {{FrameSelector::Frame::kBlock, 20}};
    test::StandIn box(options);
    auto cli = StartCli(box);
    EXPECT_EQ(cli->Wait(30s), kFailed);
    EXPECT_EQ(LastLine(cli->Out()), "failed at block 20 of 65: the line was lost") << cli->Out();
    EXPECT_TRUE(
        cli->Err().starts_with("vantrel-cli: error: update failed: the line was lost at "
                               "block 20 of 65: "))
        << cli->Err();
}

// Quiet: the result line alone on standard output, the error on its own.
TEST_F(CliProcess, QuietPrintsOnlyTheResultAndErrors) {
    PeerOptions options = AnnouncingOptions();
    options.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    test::StandIn box(options);
    box.Run();
    test::ChildProcess cli({VANTREL_CLI_PATH, "-q", "--device", box.Path(), Image()});
    EXPECT_EQ(cli.Wait(30s), kFailed);
    EXPECT_EQ(cli.Out(), "failed: the box refused the module end\n");
    EXPECT_EQ(cli.Err(), "vantrel-cli: error: update failed: the box refused the module end\n");
}

TEST_F(CliProcess, JsonIsTheUnitsRecordAndAllOfStandardOutput) {
    test::StandIn box(AnnouncingOptions());
    box.Run();
    test::ChildProcess cli({VANTREL_CLI_PATH, "--json", "--device", box.Path(), Image()});
    EXPECT_EQ(cli.Wait(30s), kUpdated) << cli.Err();
    const nlohmann::json unit = test::ParseJson(cli.Out());
    EXPECT_EQ(unit["outcome"], "completed");
    EXPECT_EQ(unit["port_label"], "PORT 1");
    EXPECT_EQ(unit["device"], box.Path());
    EXPECT_EQ(unit["image_kind"], "LOAD");
    EXPECT_EQ(unit["blocks_in_image"], 65);
    EXPECT_EQ(unit["blocks_acknowledged"], 65);
    EXPECT_EQ(unit["frames_sent_again"], 0);
    EXPECT_GT(unit["seconds"].get<double>(), 0);
    EXPECT_NE(unit["log"].get<std::string>().find("BOOT"), std::string::npos);
    EXPECT_EQ(cli.Err(), "");
    EXPECT_EQ(box.Finish(true).counters.updatesVerified, 1u);
}

// --timeout ends a unit that makes no progress, whether its box fell silent
// or refuses the same block for ever, with one CNL to the box.
TEST_F(CliProcess, UnitWithoutProgressTimesOutWithOneCancel) {
    PeerOptions silent = AnnouncingOptions();
    silent.silentFrames = {{FrameSelector::Frame::kBlock, 3}};
    PeerOptions refusing = AnnouncingOptions();
    refusing.nakAlwaysFrames = {{FrameSelector::Frame::kBlock, 3}};
    const std::string refused =
        "no block acknowledged for 1 s: the box refused block 4 of 65 again and again (";
    const struct {
        const char* name;
        const char* program;
        PeerOptions box;
        std::string reason;     // how the result line goes on after "timed out: "
        std::string reasonEnd;  // and how it ends
    } cases[] = {
        {"silent box", VANTREL_CLI_PATH, silent, "the box sent nothing for 1 s, at block 3 of 65",
         ""},
        {"box refusing a block", VANTREL_CLI_PATH, refusing, refused, " frames sent again)"},
        {"box refusing a block, station", VANTREL_STATION_PATH, refusing, refused,
         " frames sent again)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::StandIn box(c.box);
        box.Run();
        const bool station = std::string_view(c.program) == VANTREL_STATION_PATH;
        test::ChildProcess program(
            station ? std::vector<std::string>{c.program, "--timeout", "1", "--record",
                                               dir.File("records.sqlite"), Image(), box.Path()}
                    : std::vector<std::string>{c.program, "-q", "--timeout", "1", "--device",
                                               box.Path(), Image()});
        EXPECT_EQ(program.Wait(30s), kFailed) << program.Err();
        const std::string head = "timed out: " + c.reason;
        const std::size_t at = program.Out().find(head);
        ASSERT_NE(at, std::string::npos) << program.Out();
        const std::string line = program.Out().substr(at, program.Out().find('\n', at) - at);
        EXPECT_TRUE(line.ends_with(c.reasonEnd)) << line;
        EXPECT_EQ(box.Finish(true).counters.updatesCancelled, 1u) << "exactly one CNL";
    }
}

// --expect-sha256 refuses an image other than the one it names before any
// port opens; an image that matches goes on to the port, here one that is
// absent.
TEST_F(CliProcess, ExpectedSha256IsCheckedBeforeAnyPortOpens) {
    const std::string image = Image();
    const std::string digest = Sha256OfFile(image).value();
    std::string capitals = digest;
    std::ranges::transform(capitals, capitals.begin(), ::toupper);
    const std::string other(64, '0');
    const std::string sums =
        dir.Write("SHA256SUMS", other + "  other.bin\n" + capitals + " *release/image.bin\n");
    const std::string single = dir.Write("one.sha256", digest + "  renamed.bin\n");
    const std::string noLine = dir.Write("two.sha256", other + "  a.bin\n" + other + "  b.bin\n");
    const std::string notes = dir.Write("notes.txt", "release 1.0\n");
    const std::string portOpened = "vantrel-cli: error: /nonexistent/tty (given with --device)";
    const std::string hint = "\nRun with --help for more information.\n";
    const std::string mismatch = image + " is not the expected image: its SHA-256 is " +
                                 digest.substr(0, 12) + "..., not 000000000000... (expected " +
                                 other + ")\n";
    const struct {
        const char* program;
        std::string value;
        std::string err;  // how standard error begins
    } cases[] = {
        {VANTREL_CLI_PATH, capitals, portOpened},
        {VANTREL_CLI_PATH, sums, portOpened},
        {VANTREL_CLI_PATH, single, portOpened},
        {VANTREL_CLI_PATH, other, "vantrel-cli: error: " + mismatch},
        {VANTREL_STATION_PATH, other, "vantrel-station: error: " + mismatch},
        {VANTREL_CLI_PATH, "abc123",
         "vantrel-cli: error: --expect-sha256: 'abc123' is neither 64 hex digits nor a file of "
         "SHA-256 sums" +
             hint},
        {VANTREL_STATION_PATH, digest + "0",
         "vantrel-station: error: --expect-sha256: '" + digest +
             "0' is neither 64 hex digits nor a file of SHA-256 sums" + hint},
        {VANTREL_CLI_PATH, noLine,
         "vantrel-cli: error: --expect-sha256: " + noLine + " has no line for image.bin" + hint},
        {VANTREL_CLI_PATH, notes,
         "vantrel-cli: error: --expect-sha256: " + notes +
             " line 1 is not \"DIGEST  NAME\" as sha256sum writes it" + hint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const bool station = std::string_view(c.program) == VANTREL_STATION_PATH;
        test::ChildProcess program(
            station ? std::vector<std::string>{c.program, "--expect-sha256", c.value, "--no-record",
                                               image, "/nonexistent/tty"}
                    : std::vector<std::string>{c.program, "--expect-sha256", c.value, "--device",
                                               "/nonexistent/tty", image});
        EXPECT_EQ(program.Wait(10s), kNotStarted);
        EXPECT_TRUE(program.Err().starts_with(c.err)) << program.Err();
        if (c.err != portOpened) {
            EXPECT_EQ(program.Out(), "") << "no port was opened";
        }
    }
}

// Ctrl-C, SIGTERM and a closed terminal or SSH session (SIGHUP) alike.
TEST_F(CliProcess, SignalDuringBlockTransferPressesCancel) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        PeerOptions options = test::InstantOptions();
        options.silentFrames = {{FrameSelector::Frame::kBlock, 3}};
        test::StandIn box(options);
        auto cli = StartCli(box);
        ASSERT_TRUE(cli->WaitForLine("Updating modules...[Module - LD : 3/65]", 10s)) << cli->Out();
        cli->Signal(signal);
        EXPECT_EQ(cli->Wait(30s), kFailed);
        EXPECT_EQ(LastLine(cli->Out()), "cancelled at block 3 of 65 (CNL sent)");
        EXPECT_EQ(box.Finish().counters.updatesCancelled, 1u) << "exactly one CNL";
    }
}

// The box's console text is shown on the log lines, its control characters
// escaped: it cannot clear the operator's terminal, retitle its window or
// write its clipboard (OSC 52).
TEST_F(CliProcess, ConsoleTextFromTheBoxReachesTheTerminalEscaped) {
    PeerOptions options = test::InstantOptions();
    options.consoleText = "\x1b[2J\x1b]0;owned\x07\x1b]52;c;aGk=\x07\a ready\r\n";
    options.consoleEvery = 16;
    test::StandIn box(options);
    auto cli = StartCli(box);
    EXPECT_EQ(cli->Wait(30s), kUpdated) << cli->Err();
    EXPECT_NE(cli->Out().find("log: \\x1b[2J\\x1b]0;owned\\x07\\x1b]52;c;aGk=\\x07\\x07 ready\n"),
              std::string::npos)
        << cli->Out();
    for (const char raw : {'\x1b', '\x07'}) {
        EXPECT_EQ(cli->Out().find(raw), std::string::npos) << static_cast<int>(raw);
        EXPECT_EQ(cli->Err().find(raw), std::string::npos) << static_cast<int>(raw);
    }
}

TEST_F(CliProcess, NothingStarts) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string err;
        std::string out;
    } cases[] = {
        {"usage",
         {"--port", "7", "x.bin"},
         "vantrel-cli: error: --port: 7 is not a PORT number 1 to 4\n"
         "Run with --help for more information.\n",
         ""},
        {"no such device",
         {"--device", "/nonexistent/tty", Image()},
         "vantrel-cli: error: /nonexistent/tty (given with --device): cannot open: no such "
         "device. Check the path given with --device.\n",
         "Open Comm Port...[Port:1] ===> Fail!!\nlog: PORT 1 is /nonexistent/tty: nothing "
         "detected, given with --device\nlog: /nonexistent/tty (given with --device): cannot "
         "open: no such device"},
        // Refused before the port is opened.
        {"image refused",
         {"--device", "@pty", dir.Write("short.bin", test::MakeImageBytes({"LOAD", 100}))},
         "vantrel-cli: error: [LD]file size error [100] (a LOAD image is 66,560 bytes; this file "
         "has 100)\n",
         ""},
        {"no image file",
         {"--device", "@pty", dir.File("absent.bin")},
         "vantrel-cli: error: Cannot open " + dir.File("absent.bin") +
             " (an image is a regular file that can be read)\n",
         ""},
    };
    for (const auto& c : cases) {
        test::StandIn box(test::InstantOptions());
        std::vector<std::string> argv = {VANTREL_CLI_PATH};
        for (const std::string& arg : c.args) {
            argv.push_back(arg == "@pty" ? box.Path() : arg);
        }
        test::ChildProcess cli(argv);
        EXPECT_EQ(cli.Wait(10s), kNotStarted) << c.name;
        EXPECT_EQ(cli.Err(), c.err) << c.name;
        if (c.out.empty()) {
            EXPECT_EQ(cli.Out(), "") << c.name << ": no port was opened";
        } else {
            EXPECT_NE(cli.Out().find(c.out), std::string::npos) << c.name << ": " << cli.Out();
        }
        EXPECT_EQ(cli.Out().find("Wait for STB BOOT..."), std::string::npos) << c.name;
        // A device given with --device is the operator's, not a variable's.
        EXPECT_EQ((cli.Out() + cli.Err()).find("VANTREL_COM"), std::string::npos) << c.name;
    }
}

// --verbose names each settings file looked at, in order, and the one read.
TEST_F(CliProcess, VerboseSaysWhichSettingsFileIsRead) {
    const std::string user = dir.File("config/vantrel/Vantrel.ini");
    std::filesystem::create_directories(dir.File("config/vantrel"));
    dir.Write("config/vantrel/Vantrel.ini", "[LOADER VERSION]\nVersion=KOSMA_QRN\n");
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    test::ChildProcess cli(
        {VANTREL_CLI_PATH, "--verbose", "--port", "3", "--device", "/nonexistent/tty", Image()});
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(cli.Wait(10s), kNotStarted);
    const std::string beside =
        std::filesystem::path(VANTREL_CLI_PATH).parent_path().string() + "/Vantrel.ini";
    EXPECT_TRUE(cli.Err().starts_with("vantrel-cli: settings file " + beside +
                                      ": none\nvantrel-cli: settings file " + user + ": read\n"))
        << cli.Err();
}

TEST_F(CliProcess, RecordKeepsTheUnitAndARecordFileThatIsNoneIsLeftAlone) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    test::StandIn box(options);
    const std::string file = dir.File("records.sqlite");
    auto cli = StartCli(box, {"--record=" + file, "--operator=Zoë Ångström", "--work-order=WO-7",
                              "--box-serial=QRN-0042", "--station-name=Line 2"});
    EXPECT_EQ(cli->Wait(30s), kFailed);
    const auto units = SqliteRecordStore(file, SqliteRecordStore::Mode::kExisting).Latest({});
    ASSERT_EQ(units.size(), 1u) << cli->Err();
    EXPECT_EQ(units[0].outcome, UnitOutcome::kFailed);
    EXPECT_EQ(units[0].reason, "the box refused the module end");
    EXPECT_EQ(units[0].portLabel, "PORT 1");
    EXPECT_EQ(units[0].device, box.Path());
    EXPECT_EQ(units[0].blocksAcknowledged, 65u);
    EXPECT_EQ(units[0].imageSha256.size(), 64u);
    EXPECT_NE(units[0].log.find("BOOT"), std::string::npos);
    EXPECT_EQ(units[0].operatorName, "Zoë Ångström");
    EXPECT_EQ(units[0].workOrder, "WO-7");
    EXPECT_EQ(units[0].boxSerial, "QRN-0042");
    EXPECT_EQ(units[0].stationName, "Line 2");

    // Refused before the port is opened, and the file is kept as it was.
    const std::string notes = dir.Write("notes.sqlite", "not a database\n");
    test::ChildProcess refused(
        {VANTREL_CLI_PATH, "--device", box.Path(), "--record=" + notes, Image()});
    EXPECT_EQ(refused.Wait(10s), kNotStarted);
    EXPECT_NE(refused.Err().find(notes), std::string::npos) << refused.Err();
    EXPECT_EQ(refused.Out().find("Open Comm Port"), std::string::npos) << refused.Out();
    EXPECT_EQ(test::ReadFile(notes), "not a database\n");
}

}  // namespace
}  // namespace vantrel
