// vantrel-cli: the window's logic driven from a terminal. It acts as an
// operator at the window: opens the port, opens the image, presses Start
// and runs the session to its end.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "engine/image_file.h"
#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/ui_thread_call.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "records/record_target.h"
#include "records/unit_identity.h"
#include "records/unit_recorder.h"
#include "station/image_digest.h"
#include "station/unit_tracker.h"
#include "ui/terminal/cli_options.h"
#include "ui/terminal/port_list.h"
#include "ui/terminal/terminal_view.h"
#include "ui/updater_dlg.h"

namespace {

constexpr int kExitUpdated = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNotStarted = 2;

volatile std::sig_atomic_t g_cancelRequested = 0;

void RequestCancel(int) {
    g_cancelRequested = 1;
}

void InstallCancelSignals() {
    struct sigaction action {};
    action.sa_handler = RequestCancel;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Runs the UI thread until the session has ended; presses Cancel on
// SIGINT/SIGTERM, after `timeout` without a byte from the box, or when the
// port is lost (nothing can arrive any more).
int RunSession(vantrel::CUpdaterDlg& dlg, vantrel::UiThreadCalls& ui,
               const vantrel::CliOptions& options, vantrel::UnitTracker& unit) {
    using vantrel::UnitEnding;
    while (dlg.SessionRunning()) {
        // Signals arrive outside the UI thread's queue: look at least every
        // tenth of a second.
        ui.WaitAndRunPending(std::chrono::milliseconds(100));
        unit.SawBoot(dlg);
        if (unit.Ending() != UnitEnding::kNone || !dlg.SessionRunning()) {
            continue;
        }
        if (g_cancelRequested != 0) {
            unit.Cancel(dlg, UnitEnding::kCancelled);
        } else if (options.timeoutSeconds && unit.SilentFor(dlg, *options.timeoutSeconds)) {
            std::fprintf(stderr, "vantrel-cli: the box sent nothing for %g s: cancelling\n",
                         *options.timeoutSeconds);
            unit.Cancel(dlg, UnitEnding::kTimedOut, *options.timeoutSeconds);
        } else if (dlg.Comm().IsConnected() == 0) {
            unit.Cancel(dlg, UnitEnding::kLineLost);
        }
    }
    return dlg.LastSessionSucceeded().value_or(false) ? kExitUpdated : kExitFailed;
}

// The recorder that --record asks for, or why it cannot record; nothing
// without --record.
std::variant<std::unique_ptr<vantrel::UnitRecorder>, std::string> OpenRecorder(
    const vantrel::CliOptions& options) {
    if (!options.record) {
        return std::unique_ptr<vantrel::UnitRecorder>();
    }
    auto target = vantrel::ParseRecordTarget(options.recordUrl, vantrel::DefaultRecordFile());
    if (const auto* error = std::get_if<std::string>(&target)) {
        return *error;
    }
    vantrel::RecorderOptions recording;
    recording.onWarning = [](const std::string& warning) {
        std::fprintf(stderr, "vantrel-cli: warning: %s\n", warning.c_str());
    };
    return vantrel::UnitRecorder::Open(std::get<vantrel::RecordTarget>(target), recording);
}

// What a record says of every unit of this run, before it starts.
vantrel::UnitRecord UnitBase(const vantrel::CliOptions& options, std::int32_t kind) {
    vantrel::UnitRecord unit;
    unit.id = vantrel::NewUnitId();
    unit.host = vantrel::StationHostName();
    unit.portLabel = "PORT " + std::to_string(options.port);
    unit.imagePath = std::filesystem::absolute(options.image).string();
    unit.imageSha256 = vantrel::Sha256OfFile(options.image).value_or("");
    unit.imageKind = std::string(vantrel::FindImageKind(kind)->headerText);
    unit.toolVersion = VANTREL_VERSION_TEXT;
    return unit;
}

// What the port selector's entries map to, and every port this machine has.
void ListPorts(bool json) {
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::SettingsPathBesideExecutable());
    const std::vector<vantrel::DetectedPort> detected = vantrel::DetectSerialPorts();
    std::vector<vantrel::PortDevice> mapped;
    for (int port = 1; port <= vantrel::kMaxPortNumber; ++port) {
        mapped.push_back(
            vantrel::MapPort(port, vantrel::ReadPortMapSources(port, settings, detected)));
    }
    const auto listed = vantrel::LabelPorts(detected, mapped);
    const std::string text =
        json ? vantrel::FormatPortJson(listed) : vantrel::FormatPortTable(listed);
    std::fputs(text.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = vantrel::ParseCliOptions(argc, argv);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "vantrel-cli: %s\n%s", error->c_str(), vantrel::CliUsage().c_str());
        return kExitNotStarted;
    }
    const vantrel::CliOptions& options = std::get<vantrel::CliOptions>(parsed);
    if (options.help) {
        std::fputs(vantrel::CliUsage().c_str(), stdout);
        return 0;
    }
    if (options.device) {
        const std::string variable = "VANTREL_COM" + std::to_string(options.port);
        setenv(variable.c_str(), options.device->c_str(), 1);
    }
    if (options.listPorts) {
        ListPorts(options.json);
        return 0;
    }
    auto recorder = OpenRecorder(options);
    if (const auto* error = std::get_if<std::string>(&recorder)) {
        std::fprintf(stderr, "vantrel-cli: %s\n", error->c_str());
        return kExitNotStarted;
    }
    // A script reading through a pipe sees each line as it happens.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    InstallCancelSignals();

    vantrel::UiThreadCalls ui;
    vantrel::TerminalView view(stdout, stderr, isatty(STDERR_FILENO) != 0, options.image);
    vantrel::CUpdaterDlg dlg(view, ui, vantrel::ApplicationName());
    dlg.OnInitDialog(options.port - 1);
    if (dlg.Comm().IsConnected() == 0) {
        return kExitNotStarted;
    }
    dlg.OnOpenImage();
    if (dlg.ImageKind() == 0 || g_cancelRequested != 0) {
        return kExitNotStarted;
    }
    vantrel::UnitTracker unit(dlg, UnitBase(options, dlg.ImageKind()));
    dlg.OnStart();
    if (!dlg.SessionRunning()) {
        return kExitNotStarted;
    }
    unit.Started(dlg);
    const int status = RunSession(dlg, ui, options, unit);
    if (auto& store = std::get<std::unique_ptr<vantrel::UnitRecorder>>(recorder)) {
        view.FlushLog();
        store->Record(unit.Finish(dlg, view.Log()));
        const vantrel::RecorderProgress left = store->Close(std::chrono::seconds(5));
        if (left.waiting + left.spooled > 0) {
            std::fprintf(stderr,
                         "vantrel-cli: warning: the unit's record stays spooled and is "
                         "sent at the next run\n");
        }
    }
    return status;
}
