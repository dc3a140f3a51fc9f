#include "ui/terminal/terminal_commentary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/port_core.h"
#include "core/silent_line_hint.h"
#include "engine/image_file.h"
#include "platform/ui_thread_call.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_peer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "ui/terminal/progress_meter.h"

namespace vantrel {
namespace {

// Everything a TerminalCommentary writes, read back from temporary files.
struct Captured {
    Captured() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~Captured() {
        std::fclose(out);
        std::fclose(err);
    }
    static std::string Read(std::FILE* file) {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }
    std::FILE* out;
    std::FILE* err;
};

void Tell(TerminalCommentary& commentary, PortEventData data) {
    commentary.OnPortEvent({"PORT 1", std::chrono::steady_clock::now(), std::move(data)});
}

TEST(TerminalCommentary, StatusLinesAppearOnceEachAsTheyChange) {
    Captured io;
    {
        TerminalCommentary commentary(io.out, io.err, false);
        for (StatusCode code :
             {kStatusWaitBoot, kStatusWaitBoot, kStatusCleared, kStatusUpdating, kStatusComplete}) {
            Tell(commentary, port_event::StatusShown{code, 1, {}});
        }
    }
    EXPECT_EQ(Captured::Read(io.out),
              "Wait for STB BOOT...\nUpdating modules...\nComplete updating successfully...\n");
}

TEST(TerminalCommentary, LogTextBecomesLinesWhateverItsLineEnds) {
    const struct {
        const char* name;
        std::vector<std::string> appends;
        std::string shown;
    } cases[] = {
        {"CR LF",
         {"BOOT\r\n", ">> Uploading... [1 %]\r\n"},
         "log: BOOT\nlog: >> Uploading... [1 %]\n"},
        {"swapped outside a session", {"ab\n\rcd\n\r"}, "log: ab\nlog: cd\n"},
        {"pairs split across appends", {"one\r", "\ntwo\r\n"}, "log: one\nlog: two\n"},
        {"empty lines kept", {"\r\n\r\n"}, "log: \nlog: \n"},
        {"a line without end is written at the end", {"NAK"}, "log: NAK\n"},
    };
    for (const auto& c : cases) {
        Captured io;
        {
            TerminalCommentary commentary(io.out, io.err, false);
            for (const std::string& text : c.appends) {
                Tell(commentary, port_event::LogAppended{text});
            }
        }
        EXPECT_EQ(Captured::Read(io.out), c.shown) << c.name;
    }
}

// What the window shows in a box is an error; a refusal it tells only on
// its status line is left to the program's own message.
TEST(TerminalCommentary, MessageBoxesGoToTheErrorStream) {
    using Cause = port_event::StartRefused::Cause;
    Captured io;
    {
        TerminalCommentary commentary(io.out, io.err, false);
        Tell(commentary, port_event::StartRefused{Cause::kImageRefused, "refused",
                                                  "[LD]file size error [100] "});
        Tell(commentary, port_event::StartRefused{Cause::kNotConnected, "not open", ""});
        Tell(commentary, port_event::WriteFailed{});
    }
    EXPECT_EQ(Captured::Read(io.err),
              "vantrel-cli: error: [LD]file size error [100] \nvantrel-cli: error: ERROR\n");
    EXPECT_EQ(Captured::Read(io.out), "");
}

// The core over a silent box, as vantrel-cli runs it: the hint is a log
// line on the output and again a line of its own on the error stream.
TEST(TerminalCommentary, TheSilentLineHintAlsoGoesToTheErrorStream) {
    using namespace std::chrono_literals;
    test::TempDir dir;
    test::PtyPeer box{1};
    Captured io;
    {
        TerminalCommentary commentary(io.out, io.err, false);
        UiThreadCalls ui;
        PortCore core(ui, {"PORT 1", "", 20ms});
        core.AddListener(commentary);
        ASSERT_TRUE(core.Open({1, {box.SlavePath(), DeviceSource::kEnvironment, {}}, {}}));
        ASSERT_TRUE(core.Start(
            ImageChoice::Of(dir.Write("load.bin", test::MakeImageBytes({})), kImageLoad)));
        const auto runUi = [&] { ui.WaitAndRunPending(5ms); };
        ASSERT_TRUE(test::WaitUntil(
            [&] { return Captured::Read(io.err).find(box.SlavePath()) != std::string::npos; },
            runUi, 5s));
        core.Cancel();
    }
    const std::string hint = SilentLineHint(box.SlavePath(), 20ms);
    EXPECT_EQ(Captured::Read(io.err), "vantrel-cli: warning: " + hint + "\n");
    EXPECT_NE(Captured::Read(io.out).find("\nlog: " + hint + "\n"), std::string::npos)
        << Captured::Read(io.out);
}

TEST(ProgressMeter, LineShowsBlocksPercentRateAndTimeLeft) {
    using namespace std::chrono_literals;
    ProgressMeter meter;
    const auto t0 = ProgressMeter::Clock::now();
    EXPECT_FALSE(meter.Line(0, t0)) << "nothing before an update starts";
    meter.Start(1025, t0);
    EXPECT_EQ(*meter.Line(0, t0),
              "[..............................] 0/1025 blocks   0%     0.0 kB/s");
    EXPECT_EQ(*meter.Line(205, t0 + 2s),
              "[######........................] 205/1025 blocks  20%   105.0 kB/s 0:08 left");
    EXPECT_EQ(*meter.Line(1025, t0 + 10s),
              "[##############################] 1025/1025 blocks 100%   105.0 kB/s 0:00 left");
    meter.Stop();
    EXPECT_FALSE(meter.Line(3, t0));
}

}  // namespace
}  // namespace vantrel
