#pragma once

#include <QPlainTextEdit>
#include <string_view>

#include "ui/qt/log_text_filter.h"

namespace vantrel {

// The main window's log pane: read-only, both scroll bars, no word wrap,
// keeping the last kMaxLines lines. Text always goes in at the end, wherever
// the operator clicked or selected, and the end is scrolled into view.
class LogPane : public QPlainTextEdit {
    Q_OBJECT

  public:
    static constexpr int kMaxLines = 10000;

    explicit LogPane(QWidget* parent);

    void Append(std::string_view bytes);
    void Clear();

  private:
    LogTextFilter m_filter;
};

}  // namespace vantrel
