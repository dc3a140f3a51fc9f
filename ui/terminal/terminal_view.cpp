#include "ui/terminal/terminal_view.h"

#include "text/terminal_output.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

constexpr const char* kErrorPrefix = "vantrel-cli: error: ";
constexpr const char* kWarningPrefix = "vantrel-cli: warning: ";

}  // namespace

TerminalView::TerminalView(std::FILE* out, std::FILE* err, bool progressBar, std::string image)
    : m_out(out), m_err(err), m_progressBar(progressBar), m_image(std::move(image)) {}

TerminalView::~TerminalView() {
    FlushLog();
    ClearBar();
}

void TerminalView::SetText(int id, std::string_view text) {
    m_texts[id] = text;
    if (id == kIdStatusLine && !text.empty() && text != m_statusShown) {
        m_statusShown = text;
        PrintLine(m_out, text);
    }
}

std::string TerminalView::GetText(int id) {
    return m_texts[id];
}

void TerminalView::Enable(int, bool) {}

void TerminalView::AddComboEntry(int, std::string_view) {}

void TerminalView::SetComboSelection(int id, int index) {
    m_comboSelection[id] = index;
}

int TerminalView::ComboSelection(int id) {
    const auto found = m_comboSelection.find(id);
    return found == m_comboSelection.end() ? -1 : found->second;
}

void TerminalView::AppendLog(std::string_view text) {
    m_kept.Append(text);
    // The box's line ends come as CR LF, LF CR (swapped outside a session),
    // or alone; each pair is one line end on the terminal.
    for (char c : text) {
        const bool lineEnd = c == '\r' || c == '\n';
        if (lineEnd && m_lastLineEnd != 0 && c != m_lastLineEnd) {
            m_lastLineEnd = 0;
            continue;
        }
        m_lastLineEnd = lineEnd ? c : 0;
        if (lineEnd) {
            PrintLine(m_out, "log: " + m_pendingLog);
            m_pendingLog.clear();
        } else {
            m_pendingLog += c;
        }
    }
}

void TerminalView::ClearLog() {
    FlushLog();
    m_kept.Clear();
}

void TerminalView::ShowHint(std::string_view text) {
    if (m_out != nullptr) {
        PrintLine(m_err, kWarningPrefix + std::string(text));
    }
}

void TerminalView::FlushLog() {
    if (!m_pendingLog.empty()) {
        PrintLine(m_out, "log: " + m_pendingLog);
        m_pendingLog.clear();
    }
}

void TerminalView::SetProgressRange(int, int upper) {
    m_position = 0;
    m_meter.Start(upper, ProgressMeter::Clock::now());
    DrawBar();
}

void TerminalView::SetProgressPos(int position) {
    m_position = position;
    if (position == 0) {
        ClearBar();
        m_meter.Stop();
        return;
    }
    DrawBar();
}

void TerminalView::ShowMessage(std::string_view text, std::string_view, MessageIcon) {
    PrintLine(m_err, kErrorPrefix + std::string(text));
}

std::optional<std::string> TerminalView::ChooseFileToOpen(std::span<const FileFilter>) {
    return m_image;
}

void TerminalView::PrintLine(std::FILE* stream, std::string_view line) {
    if (stream == nullptr) {
        return;
    }
    ClearBar();
    // The line may carry the box's console text.
    WriteText(stream, line);
    WriteBytes(stream, "\n");
    FlushOutput(stream);
    DrawBar();
}

void TerminalView::ClearBar() {
    if (m_barDrawn) {
        WriteBytes(m_err, "\r\033[K");
        FlushOutput(m_err);
        m_barDrawn = false;
    }
}

void TerminalView::DrawBar() {
    if (!m_progressBar) {
        return;
    }
    if (const auto line = m_meter.Line(m_position, ProgressMeter::Clock::now())) {
        WriteBytes(m_err, "\r\033[K" + *line);
        FlushOutput(m_err);
        m_barDrawn = true;
    }
}

}  // namespace vantrel
