// vantrel-cli run as a script runs it: exit status, output line by line
// through a pipe, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "boxsim/frame_selector.h"
#include "records/sqlite_record_store.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
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

    test::TempDir dir;
};

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
    EXPECT_TRUE(RunSucceeded(box.Finish()));
}

TEST_F(CliProcess, RefusedModuleEndExitsOne) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    test::StandIn box(options);
    auto cli = StartCli(box);
    EXPECT_EQ(cli->Wait(30s), kFailed);
    EXPECT_NE(cli->Out().find("Error...Update failed!\n"), std::string::npos) << cli->Out();
}

TEST_F(CliProcess, SilentBoxTimesOutWithOneCancel) {
    PeerOptions options = test::InstantOptions();
    options.silentFrames = {{FrameSelector::Frame::kBlock, 3}};
    test::StandIn box(options);
    auto cli = StartCli(box, {"--timeout", "0.5"});
    EXPECT_EQ(cli->Wait(30s), kFailed);
    EXPECT_NE(cli->Err().find("the box sent nothing for 0.5 s"), std::string::npos) << cli->Err();
    EXPECT_EQ(box.Finish().counters.updatesCancelled, 1u) << "exactly one CNL";
}

TEST_F(CliProcess, InterruptDuringBlockTransferPressesCancel) {
    PeerOptions options = test::InstantOptions();
    options.silentFrames = {{FrameSelector::Frame::kBlock, 3}};
    test::StandIn box(options);
    auto cli = StartCli(box);
    ASSERT_TRUE(cli->WaitForLine("Updating modules...[Module - LD : 3/65]", 10s)) << cli->Out();
    cli->Signal(SIGINT);
    EXPECT_EQ(cli->Wait(30s), kFailed);
    EXPECT_EQ(box.Finish().counters.updatesCancelled, 1u) << "exactly one CNL";
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
         "vantrel-cli: --port takes a port number from 1 to 4",
         ""},
        {"no such device",
         {"--device", "/nonexistent/tty", Image()},
         "",
         "Open Comm Port...[Port:1] ===> Fail!!\nlog: PORT 1 is /nonexistent/tty: nothing "
         "detected, "
         "set by VANTREL_COM1\nlog: COM1 (/nonexistent/tty) (set by VANTREL_COM1): cannot open: no "
         "such device"},
        {"image refused",
         {"--device", "@pty", Image(100)},
         "Error: [LD]file size error [100] \n",
         "Open Comm Port...[Port:1] ===> OK!!\n"},
    };
    for (const auto& c : cases) {
        test::StandIn box(test::InstantOptions());
        std::vector<std::string> argv = {VANTREL_CLI_PATH};
        for (const std::string& arg : c.args) {
            argv.push_back(arg == "@pty" ? box.Path() : arg);
        }
        test::ChildProcess cli(argv);
        EXPECT_EQ(cli.Wait(10s), kNotStarted) << c.name;
        EXPECT_NE(cli.Err().find(c.err), std::string::npos) << c.name << ": " << cli.Err();
        EXPECT_NE(cli.Out().find(c.out), std::string::npos) << c.name << ": " << cli.Out();
        EXPECT_EQ(cli.Out().find("Wait for STB BOOT..."), std::string::npos) << c.name;
    }
}

TEST_F(CliProcess, RecordKeepsTheUnitAndARecordFileThatIsNoneIsLeftAlone) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {{FrameSelector::Frame::kModuleEnd, 0}};
    test::StandIn box(options);
    const std::string file = dir.File("records.sqlite");
    auto cli = StartCli(box, {"--record=" + file});
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
