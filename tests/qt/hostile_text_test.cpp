// Texts an operator, a settings file or a box may hand over, through each
// place they land: a tile's label shows them as they are, a CSV cell never
// starts a formula, a terminal line shows controls and invisible
// characters escaped, and a label refuses them.
#include <gtest/gtest.h>

#include <QLabel>

#include "cli/unit_labels.h"
#include "records/record_report.h"
#include "station/qt/slot_tile.h"
#include "station/qt/station_header.h"
#include "text/control_escape.h"

namespace vantrel {
namespace {

TEST(HostileText, EachTextIsSafeWhereItLands) {
    const struct {
        const char* what;
        std::string text;
        std::string csvCell;   // the work order's cell
        std::string terminal;  // as a terminal line shows it
        bool labelRefused;
    } cases[] = {
        {"plain", "A1", "A1", "A1", false},
        {"rich text", "<img src=/etc/local.png>", "<img src=/etc/local.png>",
         "<img src=/etc/local.png>", false},
        {"bold markup", "<b>A1</b>", "<b>A1</b>", "<b>A1</b>", false},
        {"a formula", "=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\"",
         "=HYPERLINK(\"http://x\")", false},
        {"a command", "+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0", "+1+cmd|' /C calc'!A0",
         false},
        {"an at sign", "@SUM(A1)", "'@SUM(A1)", "@SUM(A1)", false},
        {"a minus", "-2+3", "'-2+3", "-2+3", false},
        {"C1 in UTF-8", "\xc2\x9b]52;c;aGk=", "\\xC2\\x9B]52;c;aGk=", "\\u009b]52;c;aGk=", true},
        {"a raw 8-bit CSI",
         "x\x9b"
         "2J",
         "x\\x9B2J", "x\\x9b2J", true},
        {"a right-to-left override",
         "SN-\xe2\x80\xae"
         "XYZ",
         "SN-\xe2\x80\xae"
         "XYZ",
         "SN-\\u202eXYZ", true},
        {"a zero-width space", "SER\xe2\x80\x8b-1", "SER\xe2\x80\x8b-1", "SER\\u200b-1", true},
        {"a tag character", "A\xf3\xa0\x80\x81", "A\xf3\xa0\x80\x81", "A\\U000e0001", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = QString::fromStdString(c.text);
        SlotTile tile(text, /*askSerial=*/false, nullptr);
        const auto* name = tile.findChild<QLabel*>(QStringLiteral("name"));
        EXPECT_EQ(name->text(), text);
        EXPECT_EQ(name->textFormat(), Qt::PlainText);
        StationHeader header({}, UnitLabels{"", c.text, "", ""}, nullptr);
        const auto* people = header.findChild<QLabel*>(QStringLiteral("people"));
        EXPECT_TRUE(people->text().contains(text));
        EXPECT_EQ(people->textFormat(), Qt::PlainText);

        UnitRecord unit;
        unit.workOrder = c.text;
        const std::string csv = FormatRecordCsv({&unit, 1});
        EXPECT_NE(csv.find("," + c.csvCell + ","), std::string::npos) << csv;
        EXPECT_EQ(EscapeControls(c.text), c.terminal);
        EXPECT_EQ(!CheckLabelText(c.text, kMaxLabelCharacters).empty(), c.labelRefused);
    }
}

}  // namespace
}  // namespace vantrel
