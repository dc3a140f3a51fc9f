// Whole updates through the real window, offscreen, against the boot-loader
// stand-in over a pseudo-terminal; every dialog answered from a script.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "boxsim/run_result.h"
#include "records/record_store_factory.h"
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Core().LastSessionSucceeded().has_value(); },
                                    kSessionLimitMs));

        EXPECT_EQ(*logic.Core().LastSessionSucceeded(), c.succeeds);
        EXPECT_EQ(qobject_cast<QLabel*>(control(kIdStatusLine))->text(), c.status);
        EXPECT_EQ(bar->value(), 0);
        ASSERT_FALSE(positions.empty());
        EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 65);
        EXPECT_EQ(logic.Core().Slots().ModuleCount(), 0u);
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            EXPECT_NE(logic.Core().Slots()[slot].empty, 0u) << slot;
            EXPECT_TRUE(logic.Core().Slots()[slot].data.empty()) << slot;
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

// Points an environment variable elsewhere for one test.
class EnvironmentSet {
  public:
    EnvironmentSet(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentSet() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(WindowUpdate, EachUnitIsRecordedWhereTheSettingsSay) {
    // The tab in the work order makes every row's window start with a line.
    const char* const leftOut = "Left out of each unit's record: WorkOrder in [STATION] of ";
    struct Case {
        const char* name;
        const char* records;              // the [RECORDS] section
        bool recorded;                    // into records.sqlite beside the settings file
        std::vector<const char*> logged;  // how the lines the window starts with begin
    };
    const Case cases[] = {
        {"a file beside the settings file", "Record=records.sqlite", true, {leftOut}},
        {"recording off", "Record=OFF", false, {leftOut}},
        {"a store of an unknown kind",
         "Record=mysql://db/records",
         false,
         {leftOut, "Units are not recorded: Record= in [RECORDS] of "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::filesystem::create_directories(dir.Path() / "config/vantrel");
        const std::string settings =
            dir.Write("config/vantrel/Vantrel.ini",
                      std::string("[STATION]\nOperator=A. Weber\nWorkOrder=WO\t7\n[RECORDS]\n") +
                          c.records + "\n");
        const EnvironmentSet config("XDG_CONFIG_HOME", dir.File("config"));
        const EnvironmentSet data("XDG_DATA_HOME", dir.File("data"));
        PeerOptions options = test::InstantOptions();
        options.bootDelay = std::chrono::milliseconds(200);  // after Start
        options.bench = true;                                // one update after another
        options.announceInterval = std::chrono::milliseconds(200);
        test::StandIn box(options);
        box.Run();
        test::ScriptedDialogs dialogs;
        dialogs.files.push_back(
            QString::fromStdString(dir.Write("load.bin", test::MakeImageBytes({}))));
        auto window = std::make_unique<UpdaterWindow>(dialogs);
        auto button = [&](int id) {
            return window->findChild<QPushButton*>(QStringLiteral("id%1").arg(id));
        };
        auto* log = window->findChild<QPlainTextEdit*>(QStringLiteral("id%1").arg(kIdLogPane));
        QCoreApplication::processEvents();
        const QString started = log->toPlainText();
        const QStringList lines = started.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), c.logged.size()) << started.toStdString();
        for (std::size_t i = 0; i < c.logged.size(); ++i) {
            EXPECT_TRUE(lines[static_cast<int>(i)].startsWith(c.logged[i])) << i;
        }

        const CUpdaterDlg& logic = window->Logic();
        button(kIdOpenImage)->click();
        button(kIdStart)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Core().LastSessionSucceeded().has_value(); },
                                    kSessionLimitMs));
        EXPECT_TRUE(*logic.Core().LastSessionSucceeded());
        // The operator gives up before the box announces itself.
        button(kIdStart)->click();
        button(kIdCancel)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Core().LastSessionSucceeded().has_value(); },
                                    kSessionLimitMs));
        window.reset();

        std::vector<std::string> beside;
        for (const auto& entry :
             std::filesystem::directory_iterator(dir.Path() / "config/vantrel")) {
            beside.push_back(entry.path().filename().string());
        }
        std::sort(beside.begin(), beside.end());
        const std::vector<std::string> expected =
            c.recorded ? std::vector<std::string>{"Vantrel.ini", "records.sqlite"}
                       : std::vector<std::string>{"Vantrel.ini"};
        EXPECT_EQ(beside, expected);
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "data")) << "nothing in the default";
        const std::string file = dir.File("config/vantrel/records.sqlite");
        if (!c.recorded) {
            continue;
        }
        const auto units =
            OpenRecordStore(RecordTarget{file, std::nullopt}, RecordAccess::kRead)->Latest({});
        ASSERT_EQ(units.size(), 2u);
        EXPECT_EQ(units[0].outcome, UnitOutcome::kCancelled);
        EXPECT_EQ(units[1].outcome, UnitOutcome::kCompleted);
        for (const UnitRecord& unit : units) {
            EXPECT_EQ(unit.device, box.Path());
            EXPECT_EQ(unit.portLabel, "PORT 1");
            EXPECT_EQ(unit.operatorName, "A. Weber");
            EXPECT_EQ(unit.workOrder, "") << "refused, so left out";
        }
    }
}

}  // namespace
}  // namespace vantrel
