// vantrel-cli: one update from a terminal, over the same port core as the
// window: it opens the port, starts with the checked image and runs the
// session to its end.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cli/program_version.h"
#include "cli/unit_labels.h"
#include "core/image_check.h"
#include "core/open_outcome.h"
#include "core/port_core.h"
#include "core/port_request.h"
#include "engine/image_file.h"
#include "platform/cancel_signals.h"
#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "platform/ui_thread_call.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "records/record_report.h"
#include "records/record_target.h"
#include "records/recorder_ending.h"
#include "records/unit_identity.h"
#include "records/unit_recorder.h"
#include "records/unit_summary.h"
#include "serial/open_error.h"
#include "text/terminal_output.h"
#include "ui/terminal/cli_options.h"
#include "ui/terminal/port_list.h"
#include "ui/terminal/terminal_commentary.h"
#include "unit/unit_line.h"
#include "unit/unit_template.h"

namespace {

constexpr int kExitUpdated = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNotStarted = 2;
constexpr int kExitNotRecorded = 3;

volatile std::sig_atomic_t g_cancelRequested = 0;

// Errors and warnings quote the box, devices and servers.
void Error(const std::string& message) {
    vantrel::WriteText(stderr, "vantrel-cli: error: " + message + "\n");
}

void Warn(const std::string& message) {
    vantrel::WriteText(stderr, "vantrel-cli: warning: " + message + "\n");
}

void RequestCancel(int) {
    g_cancelRequested = 1;
}

// Runs the UI thread until the unit has ended; presses Cancel on
// SIGINT/SIGTERM/SIGHUP, looking for them every tenth of a second.
void RunUnit(vantrel::UnitLine& line, vantrel::UiThreadCalls& ui) {
    line.RunUntilEnded(ui, std::chrono::milliseconds(100),
                       []() -> std::optional<vantrel::UnitEnding> {
                           if (g_cancelRequested == 0) {
                               return std::nullopt;
                           }
                           return vantrel::UnitEnding::kCancelled;
                       });
}

// The unit's record, once it has ended.
class UnitResult : public vantrel::UnitObserver {
  public:
    void OnUnitEnded(const vantrel::UnitRecord& unit) override { record = unit; }
    std::optional<vantrel::UnitRecord> record;
};

// The recorder that --record asks for, or why it cannot record; nothing
// without --record. `target` is where it records.
std::variant<std::unique_ptr<vantrel::UnitRecorder>, std::string> OpenRecorder(
    const vantrel::CliOptions& options, vantrel::RecordTarget& target) {
    if (!options.record) {
        return std::unique_ptr<vantrel::UnitRecorder>();
    }
    auto parsed = vantrel::ParseRecordTarget(options.recordUrl, vantrel::DefaultRecordFile());
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        return *error;
    }
    target = std::get<vantrel::RecordTarget>(parsed);
    vantrel::RecorderOptions recording;
    recording.onWarning = Warn;
    return vantrel::UnitRecorder::Open(target, recording);
}

// What a record says of every unit of this run, before it starts.
vantrel::UnitRecord UnitBase(const vantrel::CliOptions& options,
                             const vantrel::UnitLabels& labels) {
    vantrel::UnitRecord unit = vantrel::UnitTemplate(labels, vantrel::VersionText());
    unit.portLabel = "PORT " + std::to_string(options.port);
    return unit;
}

// --device PATH: the device of PORT N.
std::optional<vantrel::GivenDevice> GivenDeviceOf(const vantrel::CliOptions& options) {
    if (!options.device) {
        return std::nullopt;
    }
    return vantrel::GivenDevice{options.port, *options.device,
                                vantrel::DeviceSource::kDeviceOption};
}

// What the port selector's entries map to, and every port this machine has.
void ListPorts(const std::optional<vantrel::GivenDevice>& given, bool json) {
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::LookUpSettingsFile().path);
    const std::vector<vantrel::DetectedPort> detected = vantrel::DetectSerialPorts();
    std::vector<vantrel::PortDevice> mapped;
    for (int port = 1; port <= vantrel::kMaxPortNumber; ++port) {
        mapped.push_back(vantrel::ResolvePortDevice(port, settings, detected, given));
    }
    const auto listed = vantrel::LabelPorts(detected, mapped);
    if (json) {
        vantrel::WriteBytes(stdout, vantrel::FormatPortJson(listed));
    } else {
        vantrel::WriteText(stdout, vantrel::FormatPortTable(listed));
    }
}

// The file that --verbose says is read, and the ones looked at before it.
void ReportSettingsLookup() {
    const vantrel::SettingsLookup lookup = vantrel::LookUpSettingsFile();
    for (const std::string& path : lookup.tried) {
        const bool read = lookup.found && path == lookup.path;
        vantrel::WriteText(
            stderr, "vantrel-cli: settings file " + path + ": " + (read ? "read" : "none") + "\n");
    }
    if (!lookup.found) {
        vantrel::WriteText(
            stderr, "vantrel-cli: no settings file: the loader identifier stays as built in\n");
    }
}

// The labels of the unit's record, from the options and the settings file;
// a refused one is named before any port is touched.
std::optional<vantrel::UnitLabels> ReadLabels(const vantrel::CliOptions& options) {
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::LookUpSettingsFile().path);
    auto labels = vantrel::ReadUnitLabels(settings, options.labels, vantrel::StationHostName());
    if (const auto* error = std::get_if<std::string>(&labels)) {
        Error(*error);
        return std::nullopt;
    }
    return std::get<vantrel::UnitLabels>(labels);
}

// A refused image is named before any port is touched.
std::optional<vantrel::CheckedImage> AcceptedImage(const vantrel::CliOptions& options) {
    auto checked = vantrel::CheckImageFile(options.image, options.expectedSha256);
    if (const auto* refusal = std::get_if<std::string>(&checked)) {
        Error(*refusal);
        return std::nullopt;
    }
    return std::get<vantrel::CheckedImage>(checked);
}

// How the unit ended: an error for the endings that are faults, then the
// result on standard output, as a line or as the record's JSON.
void ReportUnit(const vantrel::UnitRecord& unit, bool json) {
    using vantrel::UnitOutcome;
    if (unit.outcome != UnitOutcome::kCompleted && unit.outcome != UnitOutcome::kCancelled) {
        Error("update failed: " + unit.reason);
    }
    if (json) {
        vantrel::WriteBytes(stdout, vantrel::FormatUnitJson(unit));
    } else {
        vantrel::WriteText(stdout, vantrel::UnitSummaryLine(unit) + "\n");
    }
    vantrel::FlushOutput(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = vantrel::ParseCliOptions(argc, argv);
    if (const auto* exit = std::get_if<vantrel::CommandLineExit>(&parsed)) {
        return vantrel::Report(*exit);
    }
    const vantrel::CliOptions& options = std::get<vantrel::CliOptions>(parsed);
    if (options.verbose) {
        ReportSettingsLookup();
    }
    if (options.listPorts) {
        ListPorts(GivenDeviceOf(options), options.json);
        return 0;
    }
    const auto labels = ReadLabels(options);
    if (!labels) {
        return kExitNotStarted;
    }
    const auto image = AcceptedImage(options);
    if (!image) {
        return kExitNotStarted;
    }
    vantrel::RecordTarget recordTarget;
    auto recorder = OpenRecorder(options, recordTarget);
    if (const auto* error = std::get_if<std::string>(&recorder)) {
        Error(*error);
        return kExitNotStarted;
    }
    // A script reading through a pipe sees each line as it happens.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    vantrel::InstallCancelSignals(RequestCancel);

    const bool commentary = !options.quiet && !options.json;
    vantrel::UiThreadCalls ui;
    vantrel::TerminalCommentary terminal(commentary ? stdout : nullptr, stderr,
                                         commentary && isatty(STDERR_FILENO) != 0);
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::LookUpSettingsFile().path);
    vantrel::PortCore core(ui, {"PORT " + std::to_string(options.port), settings.Path()});
    core.AddListener(terminal);
    UnitResult result;
    vantrel::UnitRules rules;
    if (options.timeoutSeconds) {
        rules.timeout = std::chrono::milliseconds(
            static_cast<std::int64_t>(*options.timeoutSeconds * 1000 + 0.5));
    }
    vantrel::UnitLine line(core, ui, rules, &result);
    line.SetUnitTemplate(UnitBase(options, *labels));
    const bool opened =
        core.Open(vantrel::LookUpPort(options.port, settings, GivenDeviceOf(options)));
    // As at the window's first open: why the port did not open, or what its
    // adapter costs.
    core.AppendLog(vantrel::OpenOutcomeLog(core, /*identity=*/!opened));
    if (!opened) {
        Error(vantrel::DescribeOpenError(core.LastOpenError()));
        return kExitNotStarted;
    }
    if (g_cancelRequested != 0 ||
        !core.Start(vantrel::ImageChoice::Of(options.image, image->kind))) {
        if (g_cancelRequested == 0) {
            Error("the update did not start: " + line.StartRefusal());
        }
        return kExitNotStarted;
    }
    RunUnit(line, ui);
    terminal.FlushLog();
    if (!result.record) {
        Error("the update ended without an account of the unit");
        return kExitFailed;
    }
    const vantrel::UnitRecord& record = *result.record;
    int status = record.outcome == vantrel::UnitOutcome::kCompleted ? kExitUpdated : kExitFailed;
    if (auto& store = std::get<std::unique_ptr<vantrel::UnitRecorder>>(recorder)) {
        store->Record(record);
        const vantrel::RecorderProgress left = store->Close(std::chrono::seconds(5));
        if (vantrel::ReportRecorderEnding(left, recordTarget, "vantrel-cli", stderr) > 0 &&
            status == kExitUpdated) {
            status = kExitNotRecorded;
        }
    }
    ReportUnit(record, options.json);
    return status;
}
