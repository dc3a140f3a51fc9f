#pragma once

#include <cstdio>
#include <string>

#include "core/port_event.h"
#include "ui/terminal/progress_meter.h"

namespace vantrel {

// A port's events on a terminal, as vantrel-cli shows them: each new
// status-line text on a line of its own, the log's text line by line behind
// "log: ", the window's message boxes as "vantrel-cli: error: <text>" and
// its hints as "vantrel-cli: warning: <text>" on the error stream, and, on
// a terminal, a progress bar kept on the last line of the error stream.
// Control characters in the lines, such as the box's console text may
// carry, are shown escaped.
class TerminalCommentary : public PortListener {
  public:
    // Without `out` (--quiet, --json) the commentary, its status and log
    // lines and its hints, is not shown; its errors are.
    TerminalCommentary(std::FILE* out, std::FILE* err, bool progressBar);
    ~TerminalCommentary();
    TerminalCommentary(const TerminalCommentary&) = delete;
    TerminalCommentary& operator=(const TerminalCommentary&) = delete;

    void OnPortEvent(const PortEvent& event) override;

    // Writes out a log line still waiting for its line end.
    void FlushLog();

  private:
    void ShowStatus(const std::string& text);
    void AppendLog(std::string_view text);
    void Error(std::string_view text);
    void PrintLine(std::FILE* stream, std::string_view line);
    void StartBar(std::uint32_t blocks);
    void MoveBar(std::uint32_t position);
    void ClearBar();
    void DrawBar();

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_progressBar;
    std::string m_statusShown;
    std::string m_pendingLog;
    char m_lastLineEnd = 0;  // to fold the pair of a CR LF or LF CR into one line end
    ProgressMeter m_meter;
    std::uint32_t m_position = 0;
    bool m_barDrawn = false;
};

}  // namespace vantrel
