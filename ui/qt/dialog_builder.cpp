#include "ui/qt/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "ui/qt/application_icon.h"
#include "ui/qt/dialog_font.h"
#include "ui/qt/log_pane.h"
#include "ui/qt/utf8_text.h"

namespace vantrel {
namespace {

Qt::Alignment TextAlignment(unsigned style) {
    if ((style & kAlignCentre) != 0) {
        return Qt::AlignCenter;
    }
    return ((style & kAlignRight) != 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
}

std::unique_ptr<QWidget> MakeButton(const ControlTemplate& control, QDialog& dialog) {
    auto button = std::make_unique<QPushButton>(FromUtf8(control.text), &dialog);
    // Enter presses the default button, or the focused one (a dialog's buttons
    // take over the default role while they hold the focus).
    button->setDefault(control.kind == ControlKind::kDefaultPushButton);
    return button;
}

std::unique_ptr<QWidget> MakeGroupBox(const ControlTemplate& control, QDialog& dialog) {
    auto group = std::make_unique<QGroupBox>(FromUtf8(control.text), &dialog);
    // A frame is a sibling drawn around other controls: clicks go through it.
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    return group;
}

std::unique_ptr<QWidget> MakeLabel(const ControlTemplate& control, QDialog& dialog) {
    auto label = std::make_unique<QLabel>(FromUtf8(control.text), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(TextAlignment(control.style));
    if ((control.style & kSunken) != 0) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    return label;
}

std::unique_ptr<QWidget> MakeIcon(const QRect& place, QDialog& dialog) {
    auto label = std::make_unique<QLabel>(&dialog);
    label->setAlignment(Qt::AlignCenter);
    const int side = std::min(place.width(), place.height());
    label->setPixmap(ApplicationIcon().pixmap(side, side));
    return label;
}

std::unique_ptr<QWidget> MakeLineEdit(const ControlTemplate& control, QDialog& dialog) {
    auto edit = std::make_unique<QLineEdit>(FromUtf8(control.text), &dialog);
    edit->setReadOnly((control.style & kReadOnly) != 0);
    return edit;
}

std::unique_ptr<QWidget> MakeComboBox(const ControlTemplate& control, QDialog& dialog) {
    auto combo = std::make_unique<QComboBox>(&dialog);
    combo->setEditable(true);
    // What the operator types stays as typed: no completion, no new entries.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->lineEdit()->setAlignment(TextAlignment(control.style) & Qt::AlignHorizontal_Mask);
    for (std::string_view entry : control.entries) {
        combo->addItem(FromUtf8(entry));
    }
    combo->setCurrentIndex(-1);
    return combo;
}

std::unique_ptr<QWidget> MakeProgressBar(QDialog& dialog) {
    auto bar = std::make_unique<QProgressBar>(&dialog);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

std::unique_ptr<QWidget> MakeControl(const ControlTemplate& control, const QRect& place,
                                     QDialog& dialog) {
    switch (control.kind) {
        case ControlKind::kPushButton:
        case ControlKind::kDefaultPushButton:
            return MakeButton(control, dialog);
        case ControlKind::kGroupBox:
            return MakeGroupBox(control, dialog);
        case ControlKind::kLabel:
            return MakeLabel(control, dialog);
        case ControlKind::kIcon:
            return MakeIcon(place, dialog);
        case ControlKind::kLineEdit:
            return MakeLineEdit(control, dialog);
        case ControlKind::kLogPane:
            return std::make_unique<LogPane>(&dialog);
        case ControlKind::kComboBox:
            return MakeComboBox(control, dialog);
        case ControlKind::kProgressBar:
            return MakeProgressBar(dialog);
        case ControlKind::kCheckBox:
            return std::make_unique<QCheckBox>(FromUtf8(control.text), &dialog);
    }
    return std::make_unique<QWidget>(&dialog);
}

// A combo box's template height includes its dropped list: the box itself
// keeps its natural height and the list shows as many entries as fit below.
void PlaceComboBox(QComboBox& combo, const QRect& place) {
    const int boxHeight = combo.sizeHint().height();
    combo.setGeometry(place.x(), place.y(), place.width(), boxHeight);
    const int entryHeight = std::max(1, QFontMetrics(combo.font()).height());
    combo.setMaxVisibleItems(std::max(1, (place.height() - boxHeight) / entryHeight));
}

}  // namespace

QWidget* DialogControls::Find(int id) const {
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : found->second.widget;
}

const ControlTemplate* DialogControls::TemplateOf(int id) const {
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : found->second.layout;
}

DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& layout) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(FromUtf8(layout.caption));
    dialog.setFont(DialogFont());
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    dialog.setFixedSize(MapDialogSize(layout.width, layout.height, base));

    DialogControls controls;
    QWidget* firstFocus = nullptr;
    for (const ControlTemplate& control : layout.controls) {
        const QRect place = MapDialogRect(control.rect, base);
        std::unique_ptr<QWidget> widget = MakeControl(control, place, dialog);
        if (auto* combo = qobject_cast<QComboBox*>(widget.get())) {
            PlaceComboBox(*combo, place);
        } else {
            widget->setGeometry(place);
        }
        if (control.id != kNoControlId) {
            widget->setObjectName(QStringLiteral("id%1").arg(control.id));
            controls.m_byId[control.id] = {widget.get(), &control};
        }
        if (firstFocus == nullptr && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            firstFocus = widget.get();
        }
        controls.m_owned.push_back(std::move(widget));
    }
    if (firstFocus != nullptr) {
        firstFocus->setFocus();
    }
    return controls;
}

}  // namespace vantrel
