#include "ui/terminal/terminal_commentary.h"

#include "core/status_text.h"
#include "text/terminal_output.h"

namespace vantrel {
namespace {

constexpr const char* kErrorPrefix = "vantrel-cli: error: ";
constexpr const char* kWarningPrefix = "vantrel-cli: warning: ";

}  // namespace

TerminalCommentary::TerminalCommentary(std::FILE* out, std::FILE* err, bool progressBar)
    : m_out(out), m_err(err), m_progressBar(progressBar) {}

TerminalCommentary::~TerminalCommentary() {
    FlushLog();
    ClearBar();
}

void TerminalCommentary::OnPortEvent(const PortEvent& event) {
    using namespace port_event;
    using Cause = StartRefused::Cause;
    if (const auto* status = std::get_if<StatusShown>(&event.data)) {
        ShowStatus(StatusText(status->code, status->portNumber, status->progress));
    } else if (const auto* log = std::get_if<LogAppended>(&event.data)) {
        AppendLog(log->text);
    } else if (std::holds_alternative<LogCleared>(event.data)) {
        FlushLog();
    } else if (const auto* busy = std::get_if<BusyChanged>(&event.data)) {
        if (busy->busy) {
            StartBar(busy->blocks);
        } else {
            MoveBar(0);
        }
    } else if (const auto* step = std::get_if<SessionEvent>(&event.data)) {
        if (step->kind == SessionEvent::Kind::kBlockAcknowledged) {
            ShowStatus(AcknowledgedStatusText(*step));
            MoveBar(step->block);
        }
    } else if (const auto* refused = std::get_if<StartRefused>(&event.data)) {
        if (refused->cause == Cause::kImageMissing || refused->cause == Cause::kImageRefused) {
            Error(refused->alert);
        }
    } else if (const auto* silent = std::get_if<LineSilent>(&event.data)) {
        if (m_out != nullptr) {
            PrintLine(m_err, kWarningPrefix + silent->hint);
        }
    } else if (std::holds_alternative<WriteFailed>(event.data)) {
        Error("ERROR");
    }
}

void TerminalCommentary::ShowStatus(const std::string& text) {
    if (!text.empty() && text != m_statusShown) {
        m_statusShown = text;
        PrintLine(m_out, text);
    }
}

void TerminalCommentary::AppendLog(std::string_view text) {
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

void TerminalCommentary::FlushLog() {
    if (!m_pendingLog.empty()) {
        PrintLine(m_out, "log: " + m_pendingLog);
        m_pendingLog.clear();
    }
}

void TerminalCommentary::Error(std::string_view text) {
    PrintLine(m_err, kErrorPrefix + std::string(text));
}

void TerminalCommentary::StartBar(std::uint32_t blocks) {
    m_position = 0;
    m_meter.Start(static_cast<int>(blocks), ProgressMeter::Clock::now());
    DrawBar();
}

void TerminalCommentary::MoveBar(std::uint32_t position) {
    m_position = position;
    if (position == 0) {
        ClearBar();
        m_meter.Stop();
        return;
    }
    DrawBar();
}

void TerminalCommentary::PrintLine(std::FILE* stream, std::string_view line) {
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

void TerminalCommentary::ClearBar() {
    if (m_barDrawn) {
        WriteBytes(m_err, "\r\033[K");
        FlushOutput(m_err);
        m_barDrawn = false;
    }
}

void TerminalCommentary::DrawBar() {
    if (!m_progressBar) {
        return;
    }
    if (const auto line = m_meter.Line(static_cast<int>(m_position), ProgressMeter::Clock::now())) {
        WriteBytes(m_err, "\r\033[K" + *line);
        FlushOutput(m_err);
        m_barDrawn = true;
    }
}

}  // namespace vantrel
