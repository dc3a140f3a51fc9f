// Whole updates through the real window, offscreen, against the boot-loader
// stand-in over a pseudo-terminal; every dialog answered from a script.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "boxsim/run_result.h"
#include "tests/qt/scripted_dialogs.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/qt/updater_window.h"

namespace vantrel {
namespace {

constexpr int kSessionLimitMs = 60'000;  // only a hang takes this long

PeerOptions Naks(std::vector<FrameSelector> frames) {
    PeerOptions options;
    options.nakFrames = std::move(frames);
    return options;
}

PeerOptions ConsoleText(std::string text) {
    PeerOptions options;
    options.consoleText = std::move(text);
    options.consoleEvery = 20;
    options.splitAnswers = true;
    return options;
}

TEST(WindowUpdate, WholeUpdatesAgainstTheStandIn) {
    using F = FrameSelector::Frame;
    struct Case {
        const char* name;
        PeerOptions box;
        bool succeeds;
        const char* status;
        const char* logged;
    };
    const Case cases[] = {
        {"a clean update",
         {},
         true,
         "Complete updating successfully...",
         ">> Uploading... [100 %]"},
        {"refused handshake, header and block are sent again",
         Naks({{F::kHandshake}, {F::kHeader}, {F::kBlock, 7}}), true,
         "Complete updating successfully...", "BOOT"},
        {"console text between answers cut in two", ConsoleText("\r\nconsole: hello\r\n"), true,
         "Complete updating successfully...", "console: hello\n"},
        {"a refused module end fails the update", Naks({{F::kModuleEnd}}), false,
         "Error...Update failed!", ">> Uploading... [100 %]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::StandIn box(c.box);
        box.Run();
        test::TempDir dir;
        const std::string image = test::MakeImageBytes({});
        test::ScriptedDialogs dialogs;
        dialogs.files.push_back(QString::fromStdString(dir.Write("load.bin", image)));
        auto window = std::make_unique<UpdaterWindow>(dialogs);
        auto control = [&](int id) {
            return window->findChild<QWidget*>(QStringLiteral("id%1").arg(id));
        };
        auto* bar = qobject_cast<QProgressBar*>(control(kIdProgress));
        std::vector<int> positions;
        QObject::connect(bar, &QProgressBar::valueChanged,
                         [&](int value) { positions.push_back(value); });

        qobject_cast<QPushButton*>(control(kIdOpenImage))->click();
        qobject_cast<QPushButton*>(control(kIdStart))->click();
        const CUpdaterDlg& logic = window->Logic();
        ASSERT_TRUE(QTest::qWaitFor([&] { return logic.LastSessionSucceeded().has_value(); },
                                    kSessionLimitMs));

        EXPECT_EQ(*logic.LastSessionSucceeded(), c.succeeds);
        EXPECT_EQ(qobject_cast<QLabel*>(control(kIdStatusLine))->text(), c.status);
        EXPECT_EQ(bar->value(), 0);
        ASSERT_FALSE(positions.empty());
        EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 65);
        EXPECT_EQ(logic.Slots().ModuleCount(), 0u);
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            EXPECT_NE(logic.Slots()[slot].empty, 0u) << slot;
            EXPECT_TRUE(logic.Slots()[slot].data.empty()) << slot;
        }
        EXPECT_TRUE(
            qobject_cast<QPlainTextEdit*>(control(kIdLogPane))->toPlainText().contains(c.logged));
        EXPECT_TRUE(control(kIdStart)->isEnabled());
        EXPECT_TRUE(dialogs.seen.empty()) << "no message box";

        window.reset();
        const RunResult result = box.Finish();
        EXPECT_EQ(RunSucceeded(result), c.succeeds) << FormatRunSummary(result);
        if (c.succeeds) {
            ASSERT_TRUE(result.receivedModule.has_value());
            EXPECT_EQ(*result.receivedModule, std::vector<std::uint8_t>(image.begin(), image.end()))
                << "the box received the image byte for byte";
        }
    }
}

}  // namespace
}  // namespace vantrel
