// The main window's behaviour on its real widgets, with a silent box on
// PORT 1 (an update waits for "BOOT", so the window stays Busy) and every
// dialog answered from a script.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/executable_path.h"
#include "serial/open_error.h"
#include "tests/qt/scripted_dialogs.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_peer.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/qt/dialog_template.h"
#include "ui/qt/log_pane.h"
#include "ui/qt/updater_window.h"

namespace vantrel {
namespace {

// A window over a silent box, and what a test does at it.
struct WindowUnderTest {
    template <typename Widget = QWidget>
    Widget* Control(int id) {
        return window->findChild<Widget*>(QStringLiteral("id%1").arg(id));
    }
    void Click(int id) { Control<QPushButton>(id)->click(); }
    QString Status() { return Control<QLabel>(kIdStatusLine)->text(); }

    void OpenImage(const std::string& path) {
        dialogs.files.push_back(QString::fromStdString(path));
        Click(kIdOpenImage);
    }
    // Busy, waiting for the silent box's "BOOT".
    void StartUpdate() {
        OpenImage(dir.Write("load.bin", test::MakeImageBytes({})));
        Click(kIdStart);
        ASSERT_EQ(Status(), "Wait for STB BOOT...");
    }

    test::PtyPeer box{1};
    test::TempDir dir;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<UpdaterWindow> window = std::make_unique<UpdaterWindow>(dialogs);
};

class WindowTest : public ::testing::Test, public WindowUnderTest {};

TEST_F(WindowTest, IdleAndBusyEnabling) {
    struct Row {
        int id;
        bool idle;
        bool busy;
    };
    const Row rows[] = {
        {kIdDestAddress, true, false},   {kIdOpenImage, true, false},
        {kIdFileName, true, false},      {kIdOpenPort, true, false},
        {kIdConfiguration, true, false}, {kIdStart, true, false},
        {kIdCancel, false, true},        {kIdExit, true, false},
        {kIdPortSelector, true, true},   {kIdClear, true, true},
        {kIdLogPane, true, true},        {kIdStatusLine, true, true},
    };
    auto expectEnabling = [&](bool busy) {
        for (const Row& row : rows) {
            EXPECT_EQ(Control(row.id)->isEnabled(), busy ? row.busy : row.idle)
                << "control " << row.id << (busy ? " busy" : " idle");
        }
    };
    auto* progress = Control<QProgressBar>(kIdProgress);
    expectEnabling(false);
    StartUpdate();
    expectEnabling(true);
    EXPECT_EQ(progress->maximum(), 65) << "the range is the image's block count";
    Click(kIdCancel);
    expectEnabling(false);
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(Status(), "");
}

TEST(WindowClosing, OnlyAnIdleWindowClosesAndEnterNeverClosesIt) {
    enum class Action { kExit, kEscape, kCloseBox, kEnter, kEnterOnExit };
    struct Case {
        const char* name;
        bool busy;
        Action action;
        bool closes;
    };
    const Case cases[] = {
        {"Exit, idle", false, Action::kExit, true},
        {"Escape, idle", false, Action::kEscape, true},
        {"close box, idle", false, Action::kCloseBox, true},
        {"Enter, idle", false, Action::kEnter, false},
        {"Enter on the focused Exit, idle", false, Action::kEnterOnExit, false},
        {"Exit, busy", true, Action::kExit, false},
        {"Escape, busy", true, Action::kEscape, false},
        {"close box, busy", true, Action::kCloseBox, false},
        {"Enter, busy", true, Action::kEnter, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowUnderTest f;
        if (c.busy) {
            f.StartUpdate();
        }
        f.window->show();
        QPushButton* exitButton = f.Control<QPushButton>(kIdExit);
        switch (c.action) {
            case Action::kExit:
                exitButton->click();
                break;
            case Action::kEscape:
                QTest::keyClick(f.window.get(), Qt::Key_Escape);
                break;
            case Action::kCloseBox:
                f.window->close();
                break;
            case Action::kEnter:
                QTest::keyClick(f.window.get(), Qt::Key_Return);
                break;
            case Action::kEnterOnExit:
                exitButton->setFocus();
                QTest::keyClick(exitButton, Qt::Key_Return);
                break;
        }
        EXPECT_EQ(!f.window->isVisible(), c.closes);
        EXPECT_EQ(f.window->Logic().Core().SessionRunning(), c.busy);
    }
}

TEST_F(WindowTest, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    struct Case {
        int command;
        bool about;
    };
    const Case cases[] = {{15, false}, {16, true},      {17, true}, {31, true},
                          {32, false}, {0xF060, false}, {0, false}};
    for (const Case& c : cases) {
        dialogs.seen.clear();
        window->OnSysCommand(c.command);
        EXPECT_EQ(dialogs.seen.size(), c.about ? 1u : 0u) << c.command;
    }
    dialogs.seen.clear();
    const QList<QAction*> items = window->SystemMenu().actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.front()->text(), "About Vantrel(&A)...");
    items.front()->trigger();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].kind, "about");
    EXPECT_EQ(dialogs.seen[0].title, "About Vantrel");
    EXPECT_EQ(dialogs.seen[0].owner, window.get());
}

TEST_F(WindowTest, PortConfigurationShowsItsDefaultsAgainAfterOkWithEverythingChanged) {
    struct Default {
        int id;
        QString text;
        int index;
    };
    const Default defaults[] = {
        {kIdBaudRate, "115200", 6}, {kIdParity, "0", -1},           {kIdDataBits, "8", 0},
        {kIdStopBits, "1", 0},      {kIdSendBufferSize, "4096", 4},
    };
    auto changeEverythingAndPressOk = [&](QDialog& dialog) {
        for (const Default& box : defaults) {
            auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("id%1").arg(box.id));
            combo->setCurrentIndex(1);
            combo->setEditText("not a number");
        }
        for (QCheckBox* check : dialog.findChildren<QCheckBox*>()) {
            check->click();
        }
        dialog.findChild<QPushButton*>("id1")->click();
        return dialog.result();
    };
    std::vector<std::pair<QString, int>> shown;
    std::vector<bool> checks;
    auto look = [&](QDialog& dialog) {
        for (const Default& box : defaults) {
            auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("id%1").arg(box.id));
            shown.emplace_back(combo->currentText(), combo->currentIndex());
        }
        for (int id = kIdDetectBreak; id <= kIdLastEvent; ++id) {
            checks.push_back(
                dialog.findChild<QCheckBox*>(QStringLiteral("id%1").arg(id))->isChecked());
        }
        dialog.reject();
        return dialog.result();
    };
    int firstResult = -1;
    dialogs.handlers.push_back(
        [&](QDialog& dialog) { return firstResult = changeEverythingAndPressOk(dialog); });
    dialogs.handlers.push_back(look);
    Click(kIdConfiguration);
    Click(kIdConfiguration);

    EXPECT_EQ(firstResult, QDialog::Accepted) << "OK takes any text without a message";
    ASSERT_EQ(dialogs.seen.size(), 2u);
    for (const auto& seen : dialogs.seen) {
        EXPECT_EQ(seen.kind, "configuration");
        EXPECT_EQ(seen.title, "Port Configuration");
        EXPECT_EQ(seen.owner, window.get());
    }
    ASSERT_EQ(shown.size(), std::size(defaults));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].first, defaults[i].text) << defaults[i].id;
        EXPECT_EQ(shown[i].second, defaults[i].index) << defaults[i].id;
    }
    EXPECT_EQ(checks,
              (std::vector<bool>{false, true, false, false, false, false, true, false, false}));
}

TEST_F(WindowTest, MessageBoxesOfTheImageChecksAndOfAVanishedImage) {
    struct Case {
        test::ImageRecipe image;
        const char* text;
    };
    const Case cases[] = {
        {{.magic = "ZKMX"}, "file type error [0] "},
        {{.kindText = "LOAD", .size = 100}, "[LD]file size error [100] "},
        {{.kindText = "APPL", .size = 66560}, "[AP]file size error [66560] "},
        {{.kindText = "LDAP", .size = 590848}, "[1M]file size error [590848] "},
    };
    for (const Case& c : cases) {
        dialogs.seen.clear();
        OpenImage(dir.Write("image.bin", test::MakeImageBytes(c.image)));
        ASSERT_EQ(dialogs.seen.size(), 1u) << c.text;
        const auto& box = dialogs.seen[0];
        EXPECT_EQ(box.kind, "message");
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
        EXPECT_EQ(box.owner, window.get());
    }
    EXPECT_EQ(dialogs.lastFilters, QStringList({"Hex File(*.hex;*.bin) (*.hex *.bin)", "*.* (*)"}));

    // Accepted, then gone before Start; its name is taken for no markup.
    const std::string path = dir.Write("<i>gone.bin", test::MakeImageBytes({}));
    OpenImage(path);
    std::filesystem::remove(path);
    dialogs.seen.clear();
    Click(kIdStart);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const auto& box = dialogs.seen[0];
    EXPECT_EQ(box.text.toStdString(), "Can't found [" + path + "]");
    EXPECT_EQ(box.title.toStdString(), ApplicationName());
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
    EXPECT_EQ(box.textFormat, Qt::PlainText);
    EXPECT_EQ(Status(), "No selected modules!!");
}

TEST_F(WindowTest, LogTextGoesAtTheEndWhereverTheOperatorClicked) {
    auto* pane = Control<LogPane>(kIdLogPane);
    window->AppendLog("first\r\n");
    QTextCursor operatorCursor(pane->document());
    operatorCursor.setPosition(1);
    operatorCursor.setPosition(3, QTextCursor::KeepAnchor);
    pane->setTextCursor(operatorCursor);
    window->AppendLog("second\r\n");
    EXPECT_EQ(pane->toPlainText(), "first\nsecond\n");
    EXPECT_EQ(pane->textCursor().selectedText(), "ir") << "the operator's selection stays";

    for (int line = 0; line < LogPane::kMaxLines + 50; ++line) {
        window->AppendLog("line " + std::to_string(line) + "\r\n");
    }
    EXPECT_LE(pane->blockCount(), LogPane::kMaxLines);
    EXPECT_TRUE(
        pane->toPlainText().endsWith(QStringLiteral("line %1\n").arg(LogPane::kMaxLines + 49)));
    Click(kIdClear);
    EXPECT_EQ(pane->toPlainText(), "");
}

TEST_F(WindowTest, ProgressRangeAndPositionAsTheBarTakesThem) {
    auto* bar = Control<QProgressBar>(kIdProgress);
    struct Case {
        int lower, upper, position;
        int minimum, maximum, value;
    };
    const Case cases[] = {
        {0, 577, 260, 0, 577, 260},
        {0, 65, 80, 0, 65, 65},  // past the end: shown full
        {0, 65, -3, 0, 65, 0},
        {0, 0, 0, 0, 1, 0},  // an empty range: an empty bar, not a busy animation
    };
    for (const Case& c : cases) {
        window->SetProgressRange(c.lower, c.upper);
        window->SetProgressPos(c.position);
        EXPECT_EQ(bar->minimum(), c.minimum);
        EXPECT_EQ(bar->maximum(), c.maximum);
        EXPECT_EQ(bar->value(), c.value) << c.position;
    }
}

// Puts VANTREL_COM1..4 back as they were, so no mapping outlives its test.
class PortMappingsRestored {
  public:
    PortMappingsRestored() {
        for (int port = 1; port <= 4; ++port) {
            const char* value = std::getenv(Variable(port).c_str());
            m_saved[port - 1] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    ~PortMappingsRestored() {
        for (int port = 1; port <= 4; ++port) {
            if (const auto& value = m_saved[port - 1]) {
                ::setenv(Variable(port).c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(Variable(port).c_str());
            }
        }
    }

  private:
    static std::string Variable(int port) { return "VANTREL_COM" + std::to_string(port); }
    std::array<std::optional<std::string>, 4> m_saved;
};

template <typename Widget>
Widget* ControlOf(UpdaterWindow& window, int id) {
    return window.findChild<Widget*>(QStringLiteral("id%1").arg(id));
}

// What PORT `port` is when VANTREL_COM<port> names `device`, no detected port.
std::string Description(int port, const std::string& device) {
    return device + ": nothing detected, set by VANTREL_COM" + std::to_string(port);
}

std::string IdentityLine(int port, const std::string& device) {
    return "PORT " + std::to_string(port) + " is " + Description(port, device) + "\n";
}

TEST(WindowStartUp, TheLogStartsEmptyUnlessPortOneFailedToOpen) {
    struct Case {
        const char* name;
        bool works;
        const char* status;
    };
    const Case cases[] = {
        {"a working port", true, "Open Comm Port...[Port:1] ===> OK!!"},
        {"a device that does not exist", false, "Open Comm Port...[Port:1] ===> Fail!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortMappingsRestored restored;
        test::TempDir dir;
        std::optional<test::PtyPeer> box;
        std::string device = dir.File("no-such-device");
        if (c.works) {
            device = box.emplace(1).SlavePath();
        } else {
            test::MapPort(1, device);
        }
        test::ScriptedDialogs dialogs;
        UpdaterWindow window(dialogs);
        // Not shown: the first show starts Qt's thread pool, which
        // ThreadSanitizer cannot follow; the log is the logic's either way.
        QCoreApplication::processEvents();
        std::string expected;
        if (!c.works) {
            const OpenError& error = window.Logic().Core().LastOpenError();
            EXPECT_EQ(error.kind, OpenErrorKind::kNoSuchDevice);
            EXPECT_EQ(error.device, device);
            expected = IdentityLine(1, device) + DescribeOpenError(error) + "\n";
        }
        EXPECT_EQ(ControlOf<QLabel>(window, kIdStatusLine)->text(), c.status);
        EXPECT_EQ(ControlOf<LogPane>(window, kIdLogPane)->toPlainText().toStdString(), expected);
    }
}

TEST(WindowPortSelector, EachEntrysTooltipNamesItsDevice) {
    PortMappingsRestored restored;
    test::TempDir dir;
    test::PtyPeer first{1};
    test::PtyPeer third{3};
    test::MapPort(2, dir.File("absent-2"));
    test::MapPort(4, dir.File("absent-4"));
    const std::string devices[] = {first.SlavePath(), dir.File("absent-2"), third.SlavePath(),
                                   dir.File("absent-4")};
    test::ScriptedDialogs dialogs;
    UpdaterWindow window(dialogs);
    auto* selector = ControlOf<QComboBox>(window, kIdPortSelector);
    ASSERT_EQ(selector->count(), 4);
    for (int port = 1; port <= 4; ++port) {
        // By its text: the selector sorts its entries, the logic numbers them.
        const int index = selector->findText(QStringLiteral("PORT %1").arg(port));
        ASSERT_GE(index, 0) << port;
        EXPECT_EQ(selector->itemData(index, Qt::ToolTipRole).toString().toStdString(),
                  Description(port, devices[port - 1]));
    }
}

TEST(WindowOpenPort, OpeningAWorkingPortLogsWhatItIs) {
    struct Case {
        const char* name;
        bool portOneWorksAtStart;
        int port;  // the one picked and opened
    };
    const Case cases[] = {
        {"another port picked after PORT 1 opened", true, 2},
        {"PORT 1 again once its device is there", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortMappingsRestored restored;
        test::TempDir dir;
        std::optional<test::PtyPeer> portOne;
        if (c.portOneWorksAtStart) {
            portOne.emplace(1);
        } else {
            test::MapPort(1, dir.File("no-such-device"));
        }
        test::ScriptedDialogs dialogs;
        UpdaterWindow window(dialogs);
        // Mapped only now: Open reads the mapping afresh.
        const test::PtyPeer picked{c.port};
        ControlOf<QPushButton>(window, kIdClear)->click();
        auto* selector = ControlOf<QComboBox>(window, kIdPortSelector);
        selector->setCurrentIndex(selector->findText(QStringLiteral("PORT %1").arg(c.port)));
        ControlOf<QPushButton>(window, kIdOpenPort)->click();
        EXPECT_EQ(ControlOf<QLabel>(window, kIdStatusLine)->text(),
                  QStringLiteral("Open Comm Port...[Port:%1] ===> OK!!").arg(c.port));
        EXPECT_EQ(ControlOf<LogPane>(window, kIdLogPane)->toPlainText().toStdString(),
                  IdentityLine(c.port, picked.SlavePath()));
    }
}

TEST_F(WindowTest, ABusyWindowTornDownReleasesItsPort) {
    StartUpdate();
    window.reset();
    window = std::make_unique<UpdaterWindow>(dialogs);
    EXPECT_EQ(Status(), "Open Comm Port...[Port:1] ===> OK!!");
}

}  // namespace
}  // namespace vantrel
