// vantrel-station: many boxes updated at once, one per port, each by the
// window's own logic, and every unit recorded.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <variant>

#include "cli/expected_sha256.h"
#include "cli/program_version.h"
#include "cli/unit_labels.h"
#include "engine/image_digest.h"
#include "engine/image_file.h"
#include "platform/cancel_signals.h"
#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "records/record_target.h"
#include "records/recorder_ending.h"
#include "records/unit_identity.h"
#include "records/unit_recorder.h"
#include "station/port_devices.h"
#include "station/slot_names.h"
#include "station/station.h"
#include "station/station_options.h"
#include "text/terminal_output.h"

namespace {

constexpr int kExitNotStarted = 2;
constexpr int kExitNotRecorded = 3;

volatile std::sig_atomic_t g_stopRequested = 0;

void RequestStop(int) {
    g_stopRequested = 1;
}

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

// Blocks the boxes send back go beside the record file, one file per unit.
std::optional<std::filesystem::path> ReadbackFolder(const std::string& recordFile) {
    const std::filesystem::path folder =
        std::filesystem::path(recordFile).parent_path() / "readback";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        Warn("blocks from the boxes cannot be kept: " + folder.string() + ": " + error.message());
        return std::nullopt;
    }
    return folder;
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
    auto options = std::get<vantrel::StationOptions>(parsed);
    if (options.window) {
        return Fail("the station window is not built here");
    }

    const vantrel::ImageCheck image = vantrel::InspectImageFile(options.image);
    if (image.kind == vantrel::kImageNone) {
        return Fail(image.error);
    }
    const auto digest = vantrel::Sha256OfFile(options.image);
    if (!digest) {
        return Fail("cannot read " + options.image);
    }
    if (options.expectedSha256) {
        const std::string mismatch =
            vantrel::Sha256Mismatch(options.image, *options.expectedSha256, *digest);
        if (!mismatch.empty()) {
            return Fail(mismatch);
        }
    }
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::LookUpSettingsFile().path);
    const auto labels =
        vantrel::ReadUnitLabels(settings, options.labels, vantrel::StationHostName());
    if (const auto* error = std::get_if<std::string>(&labels)) {
        return Fail(*error);
    }
    const auto devices = vantrel::ResolvePortDevices(options.ports, settings);
    if (const auto shared = vantrel::FindSharedDevice(options.ports, devices)) {
        return Fail(*shared);
    }
    if (const auto wrong = vantrel::NameSlots(options.ports, devices, settings)) {
        return Fail(*wrong);
    }

    std::unique_ptr<vantrel::UnitRecorder> recorder;
    std::string localFile = vantrel::DefaultRecordFile();
    vantrel::RecordTarget recordTarget;
    if (!options.noRecord) {
        auto target = vantrel::ParseRecordTarget(options.recordUrl, localFile);
        if (const auto* error = std::get_if<std::string>(&target)) {
            return Fail(*error);
        }
        recordTarget = std::get<vantrel::RecordTarget>(target);
        localFile = recordTarget.localFile;
        vantrel::RecorderOptions recording;
        recording.onWarning = Warn;
        recording.onNotice = Note;
        auto opened = vantrel::UnitRecorder::Open(recordTarget, recording);
        if (const auto* error = std::get_if<std::string>(&opened)) {
            return Fail(*error);
        }
        recorder = std::move(std::get<std::unique_ptr<vantrel::UnitRecorder>>(opened));
    }
    if (localFile.empty()) {
        return Fail("no home folder for the record file: give --record PATH");
    }
    const auto readbackFolder = ReadbackFolder(localFile);

    vantrel::UnitRecord unitTemplate;
    unitTemplate.host = vantrel::StationHostName();
    const auto& given = std::get<vantrel::UnitLabels>(labels);
    unitTemplate.stationName = given.stationName;
    unitTemplate.operatorName = given.operatorName;
    unitTemplate.workOrder = given.workOrder;
    unitTemplate.imagePath = std::filesystem::absolute(options.image).string();
    unitTemplate.imageSha256 = *digest;
    unitTemplate.imageKind = std::string(vantrel::FindImageKind(image.kind)->headerText);
    unitTemplate.toolVersion = vantrel::VersionText();

    vantrel::StationConfig config;
    config.loop = options.loop;
    config.output = OutputOf(options);
    config.width = TerminalWidth();
    if (config.output == vantrel::StationOutput::kDashboard) {
        FollowTerminalResizes(config);
    }
    for (const auto& port : options.ports) {
        vantrel::PortRunnerConfig runner;
        runner.label = port.label;
        runner.portNumber = port.portNumber;
        runner.device = vantrel::GivenDeviceOf(port);
        runner.image = options.image;
        runner.timeoutSeconds = options.timeoutSeconds;
        runner.readbackDir = readbackFolder;
        runner.unitTemplate = unitTemplate;
        runner.pinnedSha256 = *digest;
        config.ports.push_back(std::move(runner));
    }
    vantrel::InstallCancelSignals(RequestStop);
    vantrel::Station station(std::move(config), stdout, [&](const vantrel::UnitRecord& unit) {
        if (recorder) {
            recorder->Record(unit);
        }
    });
    int status = station.Run([] { return g_stopRequested != 0; });
    if (recorder) {
        const vantrel::RecorderProgress left = recorder->Close(std::chrono::seconds(5));
        if (vantrel::ReportRecorderEnding(left, recordTarget, "vantrel-station", stderr) > 0 &&
            status == 0) {
            status = kExitNotRecorded;
        }
    }
    return status;
}
