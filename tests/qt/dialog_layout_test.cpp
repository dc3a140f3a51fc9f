// The three dialog templates on real widgets: every control's identifier,
// kind, text, place (from dialog units), style and tab order.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <span>
#include <vector>

#include "tests/qt/scripted_dialogs.h"
#include "tests/support/pty_peer.h"
#include "ui/qt/about_dlg.h"
#include "ui/qt/dialog_template.h"
#include "ui/qt/port_config_dlg.h"
#include "ui/qt/updater_window.h"
#include "ui/qt/widget_text.h"

namespace vantrel {
namespace {

struct ExpectedControl {
    int id;
    const char* type;
    const char* text;
    DialogRect rect;
    const char* style;  // as Describe() puts it
};

struct ExpectedDialog {
    const char* caption;
    int width;
    int height;
    std::span<const ExpectedControl> controls;
    std::vector<int> tabOrder;
};

// The styles that matter, read from the widget itself.
std::string Describe(const QWidget& widget) {
    std::vector<std::string> tokens;
    auto alignment = [&](Qt::Alignment align) {
        tokens.push_back((align & Qt::AlignHCenter) != 0 ? "centre"
                         : (align & Qt::AlignRight) != 0 ? "right"
                                                         : "left");
    };
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (button->isDefault()) {
            tokens.push_back("default");
        }
        if (button->autoDefault()) {
            tokens.push_back("autodefault");
        }
    } else if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
        if (check->isChecked()) {
            tokens.push_back("checked");
        }
    } else if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (!label->pixmap().isNull()) {
            tokens.push_back("icon");
        } else {
            alignment(label->alignment());
        }
        if (label->frameShadow() == QFrame::Sunken && label->frameShape() != QFrame::NoFrame) {
            tokens.push_back("sunken");
        }
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        if (edit->isReadOnly()) {
            tokens.push_back("readonly");
        }
    } else if (const auto* pane = qobject_cast<const QPlainTextEdit*>(&widget)) {
        if (pane->isReadOnly() && pane->lineWrapMode() == QPlainTextEdit::NoWrap &&
            pane->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn &&
            pane->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
            tokens.push_back("readonly-nowrap-scrollbars");
        }
    } else if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        if (combo->isEditable()) {
            tokens.push_back("editable");
            if ((combo->lineEdit()->alignment() & Qt::AlignRight) != 0) {
                tokens.push_back("right");
            }
        }
    } else if (const auto* bar = qobject_cast<const QProgressBar*>(&widget)) {
        if (!bar->isTextVisible()) {
            tokens.push_back("notext");
        }
    } else if (qobject_cast<const QGroupBox*>(&widget) != nullptr) {
        if (widget.testAttribute(Qt::WA_TransparentForMouseEvents)) {
            tokens.push_back("clickthrough");
        }
    }
    std::string joined;
    for (const std::string& token : tokens) {
        joined += (joined.empty() ? "" : " ") + token;
    }
    return joined;
}

QString ObjectNameOf(int id) {
    return id == kNoControlId ? QString() : QStringLiteral("id%1").arg(id);
}

// The controls that Tab visits, in order, by identifier.
std::vector<int> TabOrder(QDialog& dialog) {
    std::vector<int> ids;
    for (QWidget* widget = dialog.nextInFocusChain(); widget != &dialog;
         widget = widget->nextInFocusChain()) {
        QWidget* control = widget;
        while (control->parentWidget() != nullptr && control->parentWidget() != &dialog) {
            control = control->parentWidget();
        }
        if (control->parentWidget() != &dialog || (control->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        const int id = control->objectName().mid(2).toInt();
        if (ids.empty() || ids.back() != id) {
            ids.push_back(id);
        }
    }
    return ids;
}

void ExpectLayout(QDialog& dialog, const ExpectedDialog& expected) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(expected.caption));
    EXPECT_EQ(dialog.font().pointSize(), 9);
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    const QSize size = MapDialogSize(expected.width, expected.height, base);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    std::vector<QWidget*> controls;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) {
            controls.push_back(child);
        }
    }
    ASSERT_EQ(controls.size(), expected.controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& row = expected.controls[i];
        const QWidget& widget = *controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " (" << row.id << ")");
        EXPECT_EQ(widget.objectName(), ObjectNameOf(row.id));
        EXPECT_STREQ(widget.metaObject()->className(), row.type);
        EXPECT_EQ(WidgetText(widget), QString::fromUtf8(row.text));
        QRect place = MapDialogRect(row.rect, base);
        if (qobject_cast<const QComboBox*>(&widget) != nullptr) {
            // The template height includes the dropped list.
            EXPECT_LE(widget.sizeHint().height(), place.height());
            place.setHeight(widget.sizeHint().height());
        }
        EXPECT_EQ(widget.geometry(), place);
        EXPECT_EQ(Describe(widget), row.style);
    }
    EXPECT_EQ(TabOrder(dialog), expected.tabOrder);
    ASSERT_NE(dialog.focusWidget(), nullptr);
    EXPECT_EQ(dialog.focusWidget()->objectName(), ObjectNameOf(expected.tabOrder.front()))
        << "the first control in tab order has the focus";
}

TEST(DialogLayout, MainWindow) {
    const ExpectedControl controls[] = {
        {2, "QPushButton", "Exit", {158, 301, 59, 14}, ""},
        {-1, "QGroupBox", "Select modules", {7, 42, 211, 254}, "clickthrough"},
        {1002, "QComboBox", "PORT 1", {15, 20, 85, 72}, "editable"},
        {-1, "QLabel", "Dest address", {13, 55, 47, 8}, "right"},
        {1011, "QLineEdit", "", {69, 53, 90, 12}, "readonly"},
        {-1, "QLabel", "filename", {13, 76, 47, 8}, "right"},
        {1018, "QLineEdit", "", {69, 75, 141, 12}, "readonly"},
        {1019, "QProgressBar", "", {7, 338, 211, 12}, "notext"},
        {1020, "QLabel", "Status", {7, 320, 25, 13}, "centre sunken"},
        {1021,
         "QLabel",
         "Open Comm Port...[Port:1] ===> OK!!",
         {34, 320, 184, 13},
         "centre sunken"},
        {1022, "QGroupBox", "Comm Port", {7, 8, 211, 32}, "clickthrough"},
        {1034, "QPushButton", "Start", {7, 301, 65, 14}, ""},
        {1035, "QPushButton", "Cancel", {82, 301, 65, 14}, ""},
        {1036, "QPushButton", "Open", {165, 52, 47, 13}, ""},
        {1041, "QPushButton", "Configuration", {109, 20, 47, 14}, ""},
        {1043, "vantrel::LogPane", "", {13, 112, 205, 175}, "readonly-nowrap-scrollbars"},
        {1033, "QPushButton", "Clear", {12, 95, 47, 14}, ""},
        {1042, "QPushButton", "Open", {165, 20, 47, 14}, ""},
    };
    test::PtyPeer box(1);
    test::ScriptedDialogs dialogs;
    UpdaterWindow window(dialogs);
    ExpectLayout(window, {"[QRN7700] Vantrel (20090720-1)",
                          225,
                          361,
                          controls,
                          {2, 1002, 1011, 1018, 1034, 1035, 1036, 1041, 1043, 1033, 1042}});
}

TEST(DialogLayout, PortConfigurationDialog) {
    const ExpectedControl controls[] = {
        {1, "QPushButton", "OK", {118, 220, 50, 14}, "default autodefault"},
        {2, "QPushButton", "Cancel", {169, 220, 50, 14}, "autodefault"},
        {1008, "QComboBox", "115200", {71, 20, 103, 72}, "editable"},
        {1009, "QComboBox", "0", {71, 34, 103, 72}, "editable right"},
        {1010, "QComboBox", "8", {71, 48, 103, 72}, "editable right"},
        {1012, "QLabel", "BaudRate", {8, 22, 58, 8}, "right"},
        {1013, "QLabel", "Parity", {8, 37, 58, 8}, "right"},
        {1014, "QLabel", "Data Bits", {8, 51, 58, 8}, "right"},
        {1016, "QComboBox", "1", {71, 62, 103, 72}, "editable right"},
        {1017, "QLabel", "Stop Bits", {8, 64, 58, 8}, "right"},
        {-1, "QGroupBox", "Static", {7, 7, 213, 205}, "clickthrough"},
        {1018, "QComboBox", "4096", {71, 76, 103, 72}, "editable right"},
        {1019, "QLabel", "Send Buffer Size", {8, 78, 58, 8}, "right"},
        {1037, "QCheckBox", "Detect break on input", {71, 99, 144, 8}, ""},
        {1022, "QLabel", "Events", {14, 98, 52, 8}, "right"},
        {1038, "QCheckBox", "Clear To Send changed state", {71, 111, 144, 8}, "checked"},
        {1039, "QCheckBox", "Data Set Ready changed state", {71, 123, 144, 8}, ""},
        {1040, "QCheckBox", "Line status error occurred", {71, 135, 144, 8}, ""},
        {1041, "QCheckBox", "Ring detected", {71, 147, 144, 8}, ""},
        {1042, "QCheckBox", "Receive Line Signal changed state", {71, 159, 144, 8}, ""},
        {1043, "QCheckBox", "Character was received", {71, 171, 144, 8}, "checked"},
        {1044, "QCheckBox", "Event character was received", {71, 183, 144, 8}, ""},
        {1045, "QCheckBox", "Last character in output buffer was send", {71, 195, 144, 8}, ""},
    };
    CPortConfigDlg dialog(nullptr);
    ExpectLayout(dialog, {"Port Configuration",
                          227,
                          241,
                          controls,
                          {1, 2, 1008, 1009, 1010, 1016, 1018, 1037, 1038, 1039, 1040, 1041, 1042,
                           1043, 1044, 1045}});
}

TEST(DialogLayout, AboutBox) {
    const ExpectedControl controls[] = {
        {-1, "QLabel", "", {11, 17, 20, 20}, "icon"},
        {-1, "QLabel", "Vantrel version 1.0", {36, 13, 119, 8}, "left"},
        {1, "QPushButton", "OK", {178, 7, 50, 14}, "default autodefault"},
    };
    CAboutDlg dialog(nullptr);
    ExpectLayout(dialog, {"About Vantrel", 235, 55, controls, {1}});
}

}  // namespace
}  // namespace vantrel
