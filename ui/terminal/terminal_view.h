#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "ui/kept_log.h"
#include "ui/terminal/progress_meter.h"
#include "ui/updater_view.h"

namespace vantrel {

// The window's controls on a terminal: each new status-line text on a line
// of its own, the log pane's text line by line behind "log: ", message boxes
// as "vantrel-cli: error: <text>" on the error stream, and, on a terminal, a
// progress bar kept on the last line of the error stream. Hints go to the
// error stream too, as warnings a script's operator sees beside the errors.
// Control characters in the lines, such as the box's console text may
// carry, are shown escaped.
class TerminalView : public UpdaterView {
  public:
    // `image` answers the file-open dialog. Without `out` (--quiet, --json)
    // the window's commentary, its status and log lines and its hints, is
    // not shown; its errors are, and the log is kept all the same.
    TerminalView(std::FILE* out, std::FILE* err, bool progressBar, std::string image);
    ~TerminalView();

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enabled) override;
    void AddComboEntry(int id, std::string_view text) override;
    void SetComboSelection(int id, int index) override;
    int ComboSelection(int id) override;
    void SetComboEntryTooltip(int, int, std::string_view) override {}
    void AppendLog(std::string_view text) override;
    void ClearLog() override;
    void ShowHint(std::string_view text) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    std::optional<std::string> ChooseFileToOpen(std::span<const FileFilter> filters) override;
    void RunPortConfigurationDialog() override {}
    void RunAboutBox() override {}

    // Writes out a log line still waiting for its line end.
    void FlushLog();
    // What the log pane would show: a unit's record keeps it.
    const KeptLog& Log() const { return m_kept; }

  private:
    void PrintLine(std::FILE* stream, std::string_view line);
    void ClearBar();
    void DrawBar();

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_progressBar;
    std::string m_image;
    std::map<int, std::string> m_texts;
    std::map<int, int> m_comboSelection;
    std::string m_statusShown;
    std::string m_pendingLog;
    char m_lastLineEnd = 0;  // to fold the pair of a CR LF or LF CR into one line end
    KeptLog m_kept;
    ProgressMeter m_meter;
    int m_position = 0;
    bool m_barDrawn = false;
};

}  // namespace vantrel
