// The small pieces of the desktop window: dialog units, the font choice,
// the log pane's text, the port selector's list and the call pump's timers.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontDatabase>
#include <QTest>
#include <vector>

#include "platform/one_shot_timer.h"
#include "ui/qt/combo_box_entries.h"
#include "ui/qt/dialog_font.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/log_text_filter.h"
#include "ui/qt/qt_call_pump.h"

namespace vantrel {
namespace {

TEST(DialogUnits, EachValueIsScaledOnItsOwnAndRounded) {
    struct Case {
        DialogBaseUnits base;
        DialogRect units;
        QRect pixels;
    };
    const Case cases[] = {
        {{8, 12}, {158, 301, 59, 14}, {316, 452, 118, 21}},  // 301 * 12 / 8 = 451.5 rounds up
        {{8, 12}, {7, 338, 211, 12}, {14, 507, 422, 18}},
        {{7, 13}, {13, 55, 47, 8}, {23, 89, 82, 13}},  // 22.75, 89.375, 82.25
        {{6, 15}, {1, 1, 1, 1}, {2, 2, 2, 2}},         // 1.5 and 1.875 round away from zero
        {{8, 12}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDialogRect(c.units, c.base), c.pixels)
            << c.units.x << "," << c.units.y << " at " << c.base.x << "x" << c.base.y;
    }
    EXPECT_EQ(MapDialogSize(225, 361, {8, 12}), QSize(450, 542));
}

// A face whose average letter falls on a half pixel: the rounding case.
TEST(DialogUnits, BaseUnitsRoundAHalfPixelUp) {
    if (!QFontDatabase::hasFamily(QStringLiteral("Baekmuk Gulim"))) {
        GTEST_SKIP() << "fonts-baekmuk is not installed";
    }
    // Its 52 letters advance 390 pixels at 96 dpi: 7.5 rounds to 8, not 7.
    QFont font(QStringLiteral("Baekmuk Gulim"));
    font.setPointSize(9);
    const DialogBaseUnits base = BaseUnitsOf(font);
    EXPECT_EQ(base.x, 8);
    EXPECT_EQ(base.y, 12);
}

TEST(DialogFont, GulimWhenInstalledElseTheDesktopDefault) {
    const QString gulim = QString::fromUtf8("굴림");
    struct Case {
        QStringList installed;
        QString chosen;
    };
    const Case cases[] = {
        {{"DejaVu Sans", "Baekmuk Gulim", gulim}, gulim},
        {{"Gulim", "Baekmuk Gulim"}, "Gulim"},
        {{"DejaVu Sans", "Baekmuk Gulim"}, ""},
        {{"Baekmuk Dotum", "DejaVu Sans"}, ""},
        {{}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseDialogFamily(c.installed), c.chosen)
            << c.installed.join(", ").toStdString();
    }
}

TEST(LogTextFilter, LineEndsControlBytesAndRunawayLines) {
    const QString replacement(QChar::ReplacementCharacter);
    struct Case {
        const char* name;
        std::vector<std::string> writes;
        QString shown;
    };
    const std::string runaway(LogTextFilter::kMaxLineLength + 2, 'x');
    const Case cases[] = {
        {"CR LF is one line end", {"BOOT\r\n", "ok\r\n"}, "BOOT\nok\n"},
        {"a pair split between writes", {"BOOT\r", "\nok"}, "BOOT\nok"},
        {"LF alone and CR alone", {"a\nb\rc"}, "a\nb\nc"},
        {"LF CR is two line ends", {"a\n\rb"}, "a\n\nb"},
        {"TAB stays", {"a\tb"}, "a\tb"},
        {"NUL, ESC and DEL show",
         {std::string("a\0b\x1b\x7f", 5)},
         "a" + replacement + "b" + replacement + replacement},
        {"high bytes are Latin-1", {"\xe9\xff"}, QString::fromUtf8("\u00e9\u00ff")},
        {"an endless line is broken",
         {runaway},
         QString(LogTextFilter::kMaxLineLength, 'x') + "\nxx"},
        {"a line end restarts the count",
         {runaway.substr(2), "\r\n", "xx"},
         QString(LogTextFilter::kMaxLineLength, 'x') + "\nxx"},
    };
    for (const Case& c : cases) {
        LogTextFilter filter;
        QString shown;
        for (const std::string& write : c.writes) {
            shown += filter.Filter(write);
        }
        EXPECT_EQ(shown, c.shown) << c.name;
    }
}

TEST(LogTextFilter, ResetForgetsTheColumnAndAHalfPair) {
    LogTextFilter filter;
    filter.Filter(std::string(LogTextFilter::kMaxLineLength, 'x'));
    filter.Reset();
    EXPECT_EQ(filter.Filter("a\r"), QString("a\n"));
    filter.Reset();
    EXPECT_EQ(filter.Filter("\nb"), QString("\nb"));
}

QStringList Entries(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) {
        entries << box.itemText(i);
    }
    return entries;
}

TEST(ComboBoxEntries, SortedInsertIgnoresCaseAndKeepsEqualsInArrivalOrder) {
    QComboBox box;
    box.setEditable(true);
    for (const char* entry : {"PORT 3", "port 1", "PORT 4", "PORT 1", "PORT 2"}) {
        InsertSorted(box, entry);
    }
    EXPECT_EQ(Entries(box), QStringList({"port 1", "PORT 1", "PORT 2", "PORT 3", "PORT 4"}));
}

TEST(ComboBoxEntries, TheTypedTextNamesTheSelection) {
    struct Case {
        int selected;
        QString typed;  // null: left as the selection shows it
        int expected;
    };
    const Case cases[] = {
        {2, {}, 2},        {-1, {}, -1},    {0, "PORT 2", 1},   {0, "port 4", 3},
        {0, "PORT 9", -1}, {0, "PORT", -1}, {1, "PORT 2 ", -1},
    };
    for (const Case& c : cases) {
        QComboBox box;
        box.setEditable(true);
        box.addItems({"PORT 1", "PORT 2", "PORT 3", "PORT 4"});
        box.setCurrentIndex(c.selected);
        if (!c.typed.isNull()) {
            box.setEditText(c.typed);
        }
        EXPECT_EQ(MatchingEntry(box), c.expected) << c.typed.toStdString();
    }
}

// The window's timers run from Qt's event loop, with nothing else to wake it.
TEST(QtCallPump, ATimerRunsFromTheEventLoop) {
    QtCallPump pump;
    int expired = 0;
    OneShotTimer timer(pump.Calls(), [&] { ++expired; });
    timer.Start(std::chrono::milliseconds(20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return expired == 1; }, 5000));
    timer.Start(std::chrono::hours(1));
    timer.Stop();
    QTest::qWait(50);
    EXPECT_EQ(expired, 1);
}

}  // namespace
}  // namespace vantrel
