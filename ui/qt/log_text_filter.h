#pragma once

#include <QString>
#include <string_view>

namespace vantrel {

// Turns the bytes written to the log into the log pane's text. CR, LF and a
// CR LF pair (also one split between two writes) each end a line; TAB stays;
// other control bytes show as U+FFFD, so a box talking at the wrong baud rate
// is plain to see; bytes above 0x7F are taken as Latin-1. A line that never
// ends is broken every kMaxLineLength characters, so one endless line cannot
// slow the pane down.
class LogTextFilter {
  public:
    static constexpr int kMaxLineLength = 4096;

    QString Filter(std::string_view bytes);
    // The pane was emptied: the next byte starts a line.
    void Reset();

  private:
    int m_column = 0;
    bool m_afterCarriageReturn = false;
};

}  // namespace vantrel
