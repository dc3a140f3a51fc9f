#include "ui/updater_dlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "protocol/checksum.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_peer.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_count.h"
#include "tests/support/wait_until.h"
#include "tests/support/wake_counter.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::ThreadCount;

Bytes Of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The window with a recording view, PORT 1 mapped to a pseudo-terminal whose
// far end the test plays as the box. The test's thread is the UI thread.
class UpdaterDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dlg = std::make_unique<CUpdaterDlg>(view, ui, "vantrel", silentLineHintDelay);
        dlg->OnInitDialog();
    }

    // Runs the UI thread until `done` holds or five seconds passed.
    bool RunUntil(const std::function<bool()>& done) {
        const auto runPending = [this] { ui.WaitAndRunPending(5ms); };
        return test::WaitUntil(done, runPending, 5s);
    }

    // The next `count` bytes the window writes to the box.
    Bytes FromWindow(std::size_t count) {
        EXPECT_TRUE(RunUntil([&] {
            const Bytes more = box.ReadAvailable();
            fromWindow.insert(fromWindow.end(), more.begin(), more.end());
            return fromWindow.size() >= count;
        })) << "the window wrote "
            << fromWindow.size() << " of " << count << " bytes";
        const std::size_t taken = std::min(count, fromWindow.size());
        Bytes frame(fromWindow.begin(), fromWindow.begin() + static_cast<long>(taken));
        fromWindow.erase(fromWindow.begin(), fromWindow.begin() + static_cast<long>(taken));
        return frame;
    }

    void FromBox(std::string_view text) { ASSERT_TRUE(box.Write(Of(text))); }

    // Opens an accepted LOAD image (65 blocks).
    void ChooseImage() {
        const std::string path = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
        view.fileAnswers.push_back(path);
        dlg->OnOpenImage();
        ASSERT_EQ(dlg->ImageKind(), 1);
    }

    // Starts and answers the box's part up to the first block.
    void StartUpToFirstBlock() {
        dlg->OnStart();
        ASSERT_TRUE(dlg->Core().SessionRunning());
        FromBox("BOOT");
        ASSERT_EQ(FromWindow(36).size(), 36u);
        FromBox("ACK");
        ASSERT_EQ(FromWindow(17).size(), 17u);
        FromBox("ACK");
        ASSERT_EQ(FromWindow(1032).size(), 1032u);
    }

    std::string Status() { return view.texts[kIdStatusLine]; }

    std::chrono::milliseconds silentLineHintDelay = CUpdaterDlg::kSilentLineHintDelay;
    test::TempDir dir;
    test::PtyPeer box{1};
    test::RecordingView view;
    UiThreadCalls ui;
    std::unique_ptr<CUpdaterDlg> dlg;
    Bytes fromWindow;
};

TEST_F(UpdaterDlgTest, InitialisationOpensPortOneAndIsIdle) {
    EXPECT_EQ(view.comboEntries[kIdPortSelector],
              (std::vector<std::string>{"PORT 1", "PORT 2", "PORT 3", "PORT 4"}));
    EXPECT_EQ(view.comboSelection[kIdPortSelector], 0);
    EXPECT_EQ(view.statusHistory,
              (std::vector<std::string>{"Checking Comm Port for Vantrel...[Port:1]",
                                        "Open Comm Port...[Port:1] ===> OK!!"}));
    EXPECT_TRUE(dlg->CanClose());
    EXPECT_EQ(view.log, "");
}

TEST_F(UpdaterDlgTest, EachEntryNamesItsDeviceAndEachOpenLogsIt) {
    EXPECT_EQ(view.comboTooltips[kIdPortSelector][0],
              box.SlavePath() + ": nothing detected, set by VANTREL_COM1");
    test::MapPort(2, "/dev/vantrel-test-absent");
    view.SetComboSelection(kIdPortSelector, 1);
    dlg->OpenSelectedPort();
    EXPECT_EQ(view.comboTooltips[kIdPortSelector][1],
              "/dev/vantrel-test-absent: nothing detected, set by VANTREL_COM2")
        << "looked at again at every open";
    EXPECT_EQ(
        view.log.find("PORT 2 is /dev/vantrel-test-absent: nothing detected, set by "
                      "VANTREL_COM2\r\nCOM2 (/dev/vantrel-test-absent) (set by VANTREL_COM2): "
                      "cannot open: no such device"),
        0u)
        << view.log;
    view.log.clear();
    view.SetComboSelection(kIdPortSelector, 0);
    dlg->OpenSelectedPort();
    EXPECT_EQ(view.log,
              "PORT 1 is " + box.SlavePath() + ": nothing detected, set by VANTREL_COM1\r\n");
    ::unsetenv("VANTREL_COM2");
}

TEST_F(UpdaterDlgTest, EnablingInBothStates) {
    const struct {
        int id;
        bool idle;
    } table[] = {{kIdDestAddress, true}, {kIdOpenImage, true},     {kIdFileName, true},
                 {kIdOpenPort, true},    {kIdConfiguration, true}, {kIdStart, true},
                 {kIdCancel, false},     {kIdExit, true}};
    ChooseImage();
    dlg->OnStart();
    for (const auto& row : table) {
        EXPECT_EQ(view.enabled.at(row.id), !row.idle) << "busy, id " << row.id;
    }
    EXPECT_EQ(view.progressRange, std::make_pair(0, 65));
    EXPECT_FALSE(dlg->CanClose());
    for (int never : {kIdPortSelector, kIdClear, kIdLogPane, kIdStatusLine}) {
        EXPECT_EQ(view.enabled.count(never), 0u) << "id " << never << " is never disabled";
    }
    view.progressPos = 17;
    dlg->OnCancelUpdate();
    for (const auto& row : table) {
        EXPECT_EQ(view.enabled.at(row.id), row.idle) << "idle, id " << row.id;
    }
    EXPECT_EQ(view.progressPos, 0);
    EXPECT_TRUE(dlg->CanClose());
}

TEST_F(UpdaterDlgTest, StartRefusedLeavesTheLogAsItWas) {
    view.log = "earlier lines\r\n";
    dlg->OnStart();  // no image chosen
    EXPECT_EQ(Status(), "No selected modules!!");
    EXPECT_FALSE(dlg->Core().SessionRunning());
    EXPECT_EQ(view.log, "earlier lines\r\n");

    box.Vanish();  // the port is lost and counts as not connected
    ASSERT_TRUE(RunUntil([&] { return !dlg->Core().IsOpen(); }));
    ChooseImage();
    view.log = "earlier lines\r\n";
    dlg->OnStart();
    EXPECT_EQ(Status(), "Not connected!!");
    EXPECT_FALSE(dlg->Core().SessionRunning());
    EXPECT_EQ(view.log, "earlier lines\r\n");
}

TEST_F(UpdaterDlgTest, StartAfterAnotherPortWasPickedReopensFirst) {
    test::PtyPeer second{2};
    ChooseImage();
    view.comboSelection[kIdPortSelector] = 1;
    view.statusHistory.clear();
    dlg->OnStart();
    EXPECT_EQ(
        view.statusHistory,
        (std::vector<std::string>{"Checking Comm Port for Vantrel...[Port:2]",
                                  "Open Comm Port...[Port:2] ===> OK!!", "Wait for STB BOOT..."}));
    ASSERT_TRUE(second.Write(Of("BOOT")));
    Bytes gbe;
    ASSERT_TRUE(RunUntil([&] {
        const Bytes more = second.ReadAvailable();
        gbe.insert(gbe.end(), more.begin(), more.end());
        return gbe.size() >= 36;
    }));
    EXPECT_EQ(std::string(gbe.begin(), gbe.begin() + 3), "GBE");
    dlg->OnCancelUpdate();
}

TEST_F(UpdaterDlgTest, StartWhoseReopeningFailsStartsNothing) {
    ChooseImage();
    test::MapPort(3, dir.File("no-such-device"));
    view.comboSelection[kIdPortSelector] = 2;
    dlg->OnStart();
    EXPECT_EQ(Status(), "Open Comm Port...[Port:3] ===> Fail!!");
    EXPECT_FALSE(dlg->Core().SessionRunning());
    EXPECT_TRUE(dlg->CanClose());
    EXPECT_NE(view.log.find(dir.File("no-such-device")), std::string::npos)
        << "the log names the device: " << view.log;
}

TEST_F(UpdaterDlgTest, SuccessfulUpdateOfALoaderImage) {
    ChooseImage();
    StartUpToFirstBlock();
    std::string percentages;
    for (int block = 1; block < 65; ++block) {
        FromBox("ACK");
        EXPECT_EQ(FromWindow(1032)[4], block);
        if (block * 100 / 65 != (block - 1) * 100 / 65) {
            percentages += ">> Uploading... [" + std::to_string(block * 100 / 65) + " %]\r\n";
        }
    }
    FromBox("ACK");
    EXPECT_EQ(FromWindow(3), Of("MEN"));
    FromBox("ACK");
    EXPECT_EQ(FromWindow(3), Of("GEN"));
    FromBox("ACK");
    ASSERT_TRUE(RunUntil([&] { return !dlg->Core().SessionRunning(); }));
    EXPECT_EQ(Status(), "Complete updating successfully...");
    EXPECT_EQ(view.log, "BOOT\r\n" + percentages + ">> Uploading... [100 %]\r\n");
    EXPECT_EQ(view.progressPos, 0);
    EXPECT_TRUE(dlg->CanClose());
    EXPECT_EQ(dlg->Core().LastSessionSucceeded(), true);
}

TEST_F(UpdaterDlgTest, CancelDuringBlocksWritesOneCnl) {
    ChooseImage();
    StartUpToFirstBlock();
    dlg->OnCancelUpdate();
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(dlg->CanClose());
    EXPECT_EQ(FromWindow(3), Of("CNL"));
    ASSERT_TRUE(RunUntil([&] { return !dlg->Core().SessionRunning(); }));
    EXPECT_TRUE(box.ReadAvailable().empty());
    EXPECT_EQ(dlg->Core().LastSessionSucceeded(), false);
}

TEST_F(UpdaterDlgTest, LostPortIsShownAndCancelStillEndsTheSession) {
    ChooseImage();
    StartUpToFirstBlock();
    box.Vanish();
    ASSERT_TRUE(RunUntil([&] { return Status() == "Open Comm Port...[Port:1] ===> Fail!!"; }));
    EXPECT_FALSE(dlg->Core().IsOpen());
    EXPECT_NE(view.log.find(box.SlavePath()), std::string::npos) << view.log;
    dlg->OnCancelUpdate();
    EXPECT_TRUE(dlg->CanClose());
    ASSERT_TRUE(RunUntil([&] { return !dlg->Core().SessionRunning(); }));
}

TEST(UpdaterDlgStartUp, APortThatDoesNotOpenLeavesItsReasonInTheClearedLog) {
    test::TempDir dir;
    const struct {
        const char* what;
        std::string device;
    } cases[] = {{"no such device", dir.File("no-such-device")},
                 {"not a serial line", dir.Write("plain-file", "text")}};
    for (const auto& c : cases) {
        test::MapPort(1, c.device);
        test::RecordingView view;
        UiThreadCalls ui;
        CUpdaterDlg dlg(view, ui, "vantrel");
        dlg.OnInitDialog();
        EXPECT_EQ(view.texts[kIdStatusLine], "Open Comm Port...[Port:1] ===> Fail!!") << c.what;
        const std::string reason = DescribeOpenError(dlg.Core().LastOpenError()) + "\r\n";
        EXPECT_NE(reason.find(c.device), std::string::npos) << c.what << ": " << reason;
        EXPECT_TRUE(view.log.ends_with(reason)) << c.what << ": " << view.log;
        EXPECT_TRUE(dlg.CanClose()) << c.what;
    }
}

class SilentLineTest : public UpdaterDlgTest {
  protected:
    SilentLineTest() { silentLineHintDelay = 20ms; }
};

TEST_F(SilentLineTest, OneHintNamingTheDeviceWhileBootIsAwaited) {
    ChooseImage();
    const std::size_t withReader = ThreadCount();
    dlg->OnStart();
    ASSERT_TRUE(RunUntil([&] { return !view.hints.empty(); }));
    ASSERT_EQ(view.hints.size(), 1u);
    const std::string& hint = view.hints[0];
    EXPECT_NE(hint.find(box.SlavePath() + " for 20 ms"), std::string::npos) << hint;
    EXPECT_EQ(view.log, hint + "\r\n");
    EXPECT_EQ(view.statusHistory.back(), "Wait for STB BOOT...") << "the status line stays";
    EXPECT_EQ(ThreadCount(), withReader + 1) << "the worker; the count has no thread";
    EXPECT_FALSE(ui.NextTimer().has_value()) << "the count has ended";

    FromBox("console text\r\n");
    ASSERT_TRUE(RunUntil([&] { return view.log.find("console text") != std::string::npos; }));
    EXPECT_FALSE(ui.NextTimer().has_value()) << "bytes after the hint start no second count";
    EXPECT_EQ(view.hints.size(), 1u);

    FromBox("BOOT");
    const Bytes handshake = FromWindow(36);
    EXPECT_EQ(std::string(handshake.begin(), handshake.begin() + 3), "GBE") << "the update goes on";
    dlg->OnCancelUpdate();
}

// With a count that never expires here, each way out of the wait for BOOT
// must end it; only the session's own threads run, the count has none.
TEST(UpdaterDlgSilentLine, BootCancelAndALostPortEndTheCount) {
    enum class End { kBoot, kCancel, kLost };
    const struct {
        const char* what;
        End end;
        int threadsLeft;                   // beside the ones before Start
    } cases[] = {{"BOOT", End::kBoot, 1},  // the worker goes on with the handshake
                 {"Cancel", End::kCancel, 0},
                 {"port lost", End::kLost, 0}};  // the worker waits; the reader has gone
    for (const auto& c : cases) {
        test::TempDir dir;
        test::PtyPeer box{1};
        test::RecordingView view;
        UiThreadCalls ui;
        CUpdaterDlg dlg(view, ui, "vantrel", 1h);
        dlg.OnInitDialog();
        view.fileAnswers.push_back(dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560})));
        dlg.OnOpenImage();
        const std::size_t before = ThreadCount();
        dlg.OnStart();
        EXPECT_EQ(ThreadCount(), before + 1) << c.what << ": the worker";
        EXPECT_TRUE(ui.NextTimer().has_value()) << c.what << ": the count";
        switch (c.end) {
            case End::kBoot:
                ASSERT_TRUE(box.Write(Of("BOOT")));
                break;
            case End::kCancel:
                dlg.OnCancelUpdate();
                break;
            case End::kLost:
                box.Vanish();
                break;
        }
        const auto runUi = [&] { ui.WaitAndRunPending(5ms); };
        EXPECT_TRUE(test::WaitUntil([&] { return !ui.NextTimer().has_value(); }, runUi, 5s))
            << c.what << ": the count goes on";
        EXPECT_TRUE(test::WaitUntil(
            [&] { return ThreadCount() == before + static_cast<std::size_t>(c.threadsLeft); },
            runUi, 5s))
            << c.what << ": " << ThreadCount() - before << " threads more than before Start";
        EXPECT_TRUE(view.hints.empty()) << c.what;
        if (dlg.Core().SessionRunning()) {
            dlg.OnCancelUpdate();
        }
    }
}

TEST_F(UpdaterDlgTest, CommandsReachTheirHandlers) {
    view.log = "some text";
    EXPECT_TRUE(dlg->OnCommand(kIdClear));
    EXPECT_EQ(view.log, "");
    EXPECT_TRUE(dlg->OnCommand(kIdConfiguration));
    EXPECT_EQ(view.configurationRuns, 1);
    EXPECT_FALSE(dlg->OnCommand(kIdExit)) << "closing is the front end's";
    EXPECT_FALSE(dlg->OnCommand(1));
    for (int id = 16; id <= 31; ++id) {
        EXPECT_TRUE(dlg->OnSysCommand(id)) << id;
    }
    EXPECT_EQ(view.aboutRuns, 16);
    for (int id : {0, 15, 32, 0xF060}) {
        EXPECT_FALSE(dlg->OnSysCommand(id)) << id;
    }
}

TEST_F(UpdaterDlgTest, TeardownWhileBusyEndsWorkerAndReader) {
    ChooseImage();
    const std::size_t withReader = ThreadCount();
    StartUpToFirstBlock();
    EXPECT_EQ(ThreadCount(), withReader + 1) << "the worker runs";
    dlg.reset();
    EXPECT_EQ(ThreadCount(), withReader - 1) << "worker and reader are joined";
}

// A deadlocked teardown cannot fail an assertion: it never returns. This
// ends the test program with a message instead of letting it hang.
class Watchdog {
  public:
    explicit Watchdog(const char* what)
        : m_thread([this, what] {
              std::unique_lock lock(m_mutex);
              if (!m_ended.wait_for(lock, 20s, [&] { return m_done; })) {
                  std::fprintf(stderr, "%s is still waiting after 20 s: a deadlock\n", what);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        m_thread.join();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread;
};

TEST(UpdaterDlgTeardown, AfterALostPortAWorkerWaitingOverAWriteErrorIsLetGo) {
    test::TempDir dir;
    test::PtyPeer box{1};
    test::RecordingView view;
    test::WakeCounter queued;
    UiThreadCalls ui(queued.Wake());
    const auto runUi = [&] { ui.WaitAndRunPending(5ms); };

    auto dlg = std::make_unique<CUpdaterDlg>(view, ui, "vantrel");
    dlg->OnInitDialog();
    const std::size_t withReader = ThreadCount();
    view.fileAnswers.push_back(dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560})));
    dlg->OnOpenImage();
    dlg->OnStart();
    ASSERT_TRUE(dlg->Core().SessionRunning());

    box.Vanish();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return view.texts[kIdStatusLine] == "Open Comm Port...[Port:1] ===> Fail!!"; }, runUi,
        5s));
    // A "BOOT" read just before the line went: the worker shows its status,
    // then writes the handshake into the dead line and waits for this
    // thread to show the write error.
    const int queuedBefore = queued.Now();
    dlg->Core().OnCommData(std::vector<std::uint8_t>{'B', 'O', 'O', 'T'});
    ASSERT_TRUE(test::WaitUntil([&] { return view.texts[kIdStatusLine] == "Updating modules..."; },
                                runUi, 5s));
    ASSERT_TRUE(queued.WaitFor(queuedBefore + 2)) << "the worker never asked for the error box";

    {
        const Watchdog watchdog("the window's teardown");
        dlg.reset();
    }
    EXPECT_TRUE(view.messages.empty()) << "the error box was let go, not shown";
    EXPECT_EQ(ThreadCount(), withReader - 1) << "worker and reader are joined";
}

}  // namespace
}  // namespace vantrel
