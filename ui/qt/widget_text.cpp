#include "ui/qt/widget_text.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace vantrel {

void SetWidgetText(QWidget& widget, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
        group->setTitle(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        combo->setEditText(text);
    } else if (auto* pane = qobject_cast<QPlainTextEdit*>(&widget)) {
        pane->setPlainText(text);
    }
}

QString WidgetText(const QWidget& widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return edit->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return group->title();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        return combo->currentText();
    }
    if (const auto* pane = qobject_cast<const QPlainTextEdit*>(&widget)) {
        return pane->toPlainText();
    }
    return {};
}

QLabel* NewPlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void ShowPlainMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                      QWidget* parent) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

}  // namespace vantrel
