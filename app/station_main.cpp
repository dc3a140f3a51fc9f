// vantrel-station: many boxes updated at once, one per port, each by the
// window's own logic, and every unit recorded.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <variant>

#include "platform/cancel_signals.h"
#include "platform/executable_path.h"
#include "platform/stop_signals.h"
#include "records/recorder_ending.h"
#include "station/station.h"
#include "station/station_options.h"
#include "station/station_setup.h"
#include "station/window_launch.h"
#include "text/terminal_output.h"
#include "unit/end_at_once.h"

namespace {

constexpr int kExitNotStarted = 2;

// Errors, warnings and notices quote devices, paths and servers.
void Note(const std::string& message) {
    vantrel::WriteText(stderr, "vantrel-station: " + message + "\n");
}

int Fail(const std::string& message) {
    Note("error: " + message);
    return kExitNotStarted;
}

std::size_t TerminalWidth() {
    winsize size{};
    return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 120;
}

volatile std::sig_atomic_t g_resized = 0;

void NoteResize(int) {
    g_resized = 1;
}

// The terminal's width once after each resize, for the dashboard's redraw.
std::optional<std::size_t> ResizedWidth() {
    if (g_resized == 0) {
        return std::nullopt;
    }
    g_resized = 0;
    return TerminalWidth();
}

void FollowTerminalResizes(vantrel::StationConfig& config) {
    struct sigaction action {};
    action.sa_handler = NoteResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
    config.resized = ResizedWidth;
}

void Warn(const std::string& message) {
    Note("warning: " + message);
}

vantrel::StationOutput OutputOf(const vantrel::StationOptions& options) {
    if (options.json) {
        return vantrel::StationOutput::kJson;
    }
    if (options.quiet) {
        return vantrel::StationOutput::kQuiet;
    }
    return isatty(STDOUT_FILENO) != 0 ? vantrel::StationOutput::kDashboard
                                      : vantrel::StationOutput::kLines;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = vantrel::ParseStationOptions(argc, argv);
    if (const auto* exit = std::get_if<vantrel::CommandLineExit>(&parsed)) {
        return vantrel::Report(*exit);
    }
    const auto& options = std::get<vantrel::StationOptions>(parsed);
    if (options.window) {
        const auto program = vantrel::FindStationWindowProgram(vantrel::ExecutablePath());
        return Fail(program ? vantrel::ExecStationWindow(*program, argv)
                            : "the station window is not installed here; it comes with the "
                              "vantrel package");
    }

    vantrel::RecorderOptions recording;
    recording.onWarning = Warn;
    recording.onNotice = Note;
    auto prepared = vantrel::PrepareStation(options, recording);
    if (const auto* error = std::get_if<std::string>(&prepared)) {
        return Fail(*error);
    }
    auto& setup = std::get<vantrel::StationSetup>(prepared);
    vantrel::StationConfig config = std::move(setup.config);
    config.output = OutputOf(options);
    config.width = TerminalWidth();
    if (config.output == vantrel::StationOutput::kDashboard) {
        FollowTerminalResizes(config);
    }
    const auto& recorder = setup.recorder;
    vantrel::IgnoreLostReaders();
    const bool loop = config.loop;
    vantrel::Station station(std::move(config), stdout, [&](const vantrel::UnitRecord& unit) {
        if (recorder) {
            recorder->Record(unit);
        }
    });
    // The station's loop is the thread the stop signals are told on.
    vantrel::UiThreadCalls calls;
    vantrel::StopStep asked = vantrel::StopStep::kNone;
    const vantrel::StopSignals stopSignals(calls, /*interruptFinishesFirst=*/loop,
                                           {[&](vantrel::StopStep step) { asked = step; },
                                            [&] {
                                                vantrel::EndAtOnce(
                                                    "vantrel-station", recorder.get(),
                                                    setup.recordTarget, station.UnderWay());
                                            }});
    int status = station.Run([&] {
        calls.RunPending();
        return asked;
    });
    if (recorder) {
        const vantrel::RecorderProgress left = recorder->Close(std::chrono::seconds(5));
        if (vantrel::ReportRecorderEnding(left, setup.recordTarget, "vantrel-station", stderr) >
                0 &&
            status == 0) {
            status = vantrel::kExitNotRecorded;
        }
    }
    return status;
}
