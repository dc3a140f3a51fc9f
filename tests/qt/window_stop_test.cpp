// The desktop window stopped by a signal in the middle of an update, as a
// logout, a shutdown or Ctrl-C in its terminal stops it: the unit is
// cancelled with a CNL, recorded, and only then does the window close.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "records/record_store_factory.h"
#include "tests/qt/scripted_dialogs.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/qt/updater_window.h"

namespace vantrel {
namespace {

using Frame = FrameSelector::Frame;

// Every unit the window's default record file holds, newest first.
std::vector<UnitRecord> Recorded() {
    if (!std::filesystem::exists(DefaultRecordFile())) {
        return {};
    }
    return OpenRecordStore(RecordTarget{DefaultRecordFile(), std::nullopt}, RecordAccess::kRead)
        ->Latest({});
}

TEST(WindowStop, ASignalInBlockTransferCancelsRecordsAndThenCloses) {
    const struct {
        const char* name;
        int signal;
        bool aboutBoxOpen;  // a modal dialog is open when the signal comes
    } cases[] = {
        {"SIGTERM", SIGTERM, false},
        {"SIGHUP", SIGHUP, false},
        {"SIGINT", SIGINT, false},
        {"SIGTERM over the About box", SIGTERM, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = Recorded().size();
        PeerOptions holding = test::InstantOptions();
        holding.bootDelay = std::chrono::milliseconds(500);  // after Start
        holding.silentFrames = {{Frame::kBlock, 3}};
        test::StandIn box(holding);
        box.Run();
        test::TempDir dir;
        test::ScriptedDialogs dialogs;
        dialogs.files.push_back(
            QString::fromStdString(dir.Write("load.bin", test::MakeImageBytes({}))));
        bool aboutShown = false;
        dialogs.handlers.push_back([&](QDialog& dialog) {
            aboutShown = true;
            ::kill(::getpid(), c.signal);
            return dialog.exec();  // a real modal loop, which the signal must end
        });
        UpdaterWindow window(dialogs);
        auto button = [&](int id) {
            return window.findChild<QPushButton*>(QStringLiteral("id%1").arg(id));
        };
        button(kIdOpenImage)->click();
        button(kIdStart)->click();
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("id%1").arg(kIdProgress));
        QTimer atBlock3;
        QObject::connect(&atBlock3, &QTimer::timeout, [&] {
            // Blocks 0 to 2 acknowledged, block 3 held unanswered.
            if (bar->value() != 3) {
                return;
            }
            atBlock3.stop();
            if (c.aboutBoxOpen) {
                window.OnSysCommand(CUpdaterDlg::kIdAboutCommand);
            } else {
                ::kill(::getpid(), c.signal);
            }
        });
        atBlock3.start(20);
        // Run() returns only once the window has closed.
        EXPECT_EQ(window.Run(), 1) << "a unit was cancelled";
        EXPECT_EQ(aboutShown, c.aboutBoxOpen);
        const std::vector<UnitRecord> units = Recorded();
        ASSERT_EQ(units.size(), before + 1);
        EXPECT_EQ(units[0].device, box.Path());
        EXPECT_EQ(units[0].outcome, UnitOutcome::kCancelled);
        EXPECT_TRUE(units[0].reason.starts_with("cancelled at block 3 of 65")) << units[0].reason;
        EXPECT_EQ(box.Finish(true).counters.updatesCancelled, 1u) << "the box got its CNL";
    }
}

}  // namespace
}  // namespace vantrel
