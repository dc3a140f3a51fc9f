#pragma once

#include <QString>
#include <QWidget>

namespace vantrel {

// The text a control shows, whatever kind of control it is: a button's or
// label's text, a group box's title, an edit's or a combo box's field, a log
// pane's contents. Controls without a text take nothing and give "".
void SetWidgetText(QWidget& widget, const QString& text);
QString WidgetText(const QWidget& widget);

}  // namespace vantrel
