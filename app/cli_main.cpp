// vantrel-cli: the window's logic driven from a terminal. It acts as an
// operator at the window: opens the port, opens the image, presses Start
// and runs the session to its end.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/ui_thread_call.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
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
               const vantrel::CliOptions& options) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    bool cancelled = false;
    while (dlg.SessionRunning()) {
        // Signals arrive outside the UI thread's queue: look at least every
        // tenth of a second.
        ui.WaitAndRunPending(std::chrono::milliseconds(100));
        if (cancelled || !dlg.SessionRunning()) {
            continue;
        }
        const Clock::time_point quietSince = std::max(started, dlg.LastReceiveTime());
        const bool timedOut = options.timeoutSeconds &&
                              std::chrono::duration<double>(Clock::now() - quietSince).count() >
                                  *options.timeoutSeconds;
        if (g_cancelRequested != 0 || timedOut || dlg.Comm().IsConnected() == 0) {
            if (timedOut) {
                std::fprintf(stderr, "vantrel-cli: the box sent nothing for %g s: cancelling\n",
                             *options.timeoutSeconds);
            }
            dlg.OnCancelUpdate();
            cancelled = true;
        }
    }
    return dlg.LastSessionSucceeded().value_or(false) ? kExitUpdated : kExitFailed;
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
    dlg.OnStart();
    if (!dlg.SessionRunning()) {
        return kExitNotStarted;
    }
    return RunSession(dlg, ui, options);
}
