#include "ui/qt/log_pane.h"

#include <QScrollBar>
#include <QTextCursor>

namespace vantrel {

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(kMaxLines);
}

void LogPane::Append(std::string_view bytes) {
    const QString text = m_filter.Filter(bytes);
    if (text.isEmpty()) {
        return;
    }
    // A cursor of our own, so the operator's cursor and selection stay put.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogPane::Clear() {
    clear();
    m_filter.Reset();
}

}  // namespace vantrel
