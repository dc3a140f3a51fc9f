#pragma once

#include <QLabel>
#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace vantrel {

// The text a control shows, whatever kind of control it is: a button's or
// label's text, a group box's title, an edit's or a combo box's field, a log
// pane's contents. Controls without a text take nothing and give "".
void SetWidgetText(QWidget& widget, const QString& text);
QString WidgetText(const QWidget& widget);

// A label that shows its text as it is, never as markup: text from an
// operator, a settings file or a box ("<img src=...>") stays text.
QLabel* NewPlainLabel(const QString& text, QWidget* parent);
// A tooltip of `text` as it is, line breaks kept: Qt takes a tooltip that
// looks like markup for markup.
QString PlainToolTip(const QString& text);
// A modal message box that shows `text` as it is, with an OK button.
void ShowPlainMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                      QWidget* parent);

}  // namespace vantrel
