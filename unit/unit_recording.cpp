#include "unit/unit_recording.h"

#include <cstdio>
#include <utility>

#include "cli/unit_labels.h"
#include "core/port_core.h"
#include "platform/ini_file.h"
#include "records/recorder_ending.h"
#include "records/unit_identity.h"
#include "unit/record_setting.h"
#include "unit/unit_template.h"

namespace vantrel {
namespace {

// A server's or a file's error may span lines; the log shows one per event.
std::string OneLine(std::string_view text) {
    std::string line;
    bool space = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            space = !line.empty();
            continue;
        }
        if (space) {
            line += ' ';
            space = false;
        }
        line += c;
    }
    return line;
}

// The window's labels come from the settings file alone.
UnitRecord WindowUnitTemplate(const CIniFile& settings, std::string_view toolVersion,
                              std::vector<std::string>& refused) {
    LabelsRead labels = ReadUsableUnitLabels(settings, {}, StationHostName());
    refused = std::move(labels.refused);
    return UnitTemplate(labels.labels, toolVersion);
}

}  // namespace

UnitRecording::UnitRecording(PortCore& core, UiThreadCalls& ui, const CIniFile& settings,
                             std::string toolVersion, LogLine log)
    : m_core(core), m_ui(ui), m_log(std::move(log)), m_lines(ui), m_line(core, ui, {}, this) {
    std::vector<std::string> refused;
    m_line.SetUnitTemplate(WindowUnitTemplate(settings, toolVersion, refused));
    for (const std::string& label : refused) {
        Tell("Left out of each unit's record: " + label);
    }
    OpenRecorder(settings);
}

UnitRecording::~UnitRecording() {
    Close();
}

std::size_t UnitRecording::Close() {
    if (m_closed || !m_recorder) {
        return 0;
    }
    m_closed = true;
    return ReportRecorderEnding(m_recorder->Close(kCloseLimit), m_target, "vantrel", stderr);
}

void UnitRecording::OpenRecorder(const CIniFile& settings) {
    auto setting = ReadRecordSetting(settings, DefaultRecordFile());
    if (const auto* error = std::get_if<std::string>(&setting)) {
        Tell("Units are not recorded: " + *error);
        return;
    }
    const auto target = std::get<std::optional<RecordTarget>>(std::move(setting));
    if (!target) {
        return;
    }
    RecorderOptions options;
    options.onWarning = [this](const std::string& text) { Tell("Recording: " + text); };
    options.onNotice = options.onWarning;
    auto opened = UnitRecorder::Open(*target, std::move(options));
    if (const auto* error = std::get_if<std::string>(&opened)) {
        Tell("Units are not recorded: " + *error);
        return;
    }
    m_target = *target;
    m_recorder = std::get<std::unique_ptr<UnitRecorder>>(std::move(opened));
}

std::string UnitRecording::PortLabel() const {
    // The port selector is locked while a unit runs: this is its port.
    return "PORT " + std::to_string(m_core.PortNumber());
}

void UnitRecording::OnLineEvent(const PortEvent& event) {
    if (std::holds_alternative<port_event::SessionStarted>(event.data)) {
        m_underWay.Begin(PortLabel(), m_core.Device().path, std::chrono::system_clock::now());
    }
}

void UnitRecording::OnUnitEnded(const UnitRecord& unit) {
    m_lastOutcome = unit.outcome;
    if (m_recorder) {
        UnitRecord record = unit;
        record.portLabel = PortLabel();
        m_recorder->Record(std::move(record));
    }
    m_underWay.End(PortLabel());
    if (m_ended) {
        m_ended();
    }
}

void UnitRecording::Tell(const std::string& text) {
    // Queued even on the UI thread: what is told while the window starts
    // would otherwise be cleared with its log.
    m_ui.Post(m_lines, [this, line = OneLine(text)] { m_log(line); });
}

}  // namespace vantrel
