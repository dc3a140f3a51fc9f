// vantrel-station-window: the station as a window of slot tiles, started by
// `vantrel-station --window` with the station's own arguments.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <atomic>
#include <cstdio>
#include <variant>

#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "platform/stop_signals.h"
#include "ports/port_discovery.h"
#include "records/recorder_ending.h"
#include "station/qt/shift_dialog.h"
#include "station/qt/station_window.h"
#include "station/shift_questions.h"
#include "station/station_options.h"
#include "station/station_setup.h"
#include "text/terminal_output.h"
#include "ui/image_selection.h"
#include "ui/qt/application_icon.h"
#include "ui/qt/file_filters.h"
#include "ui/qt/modal_dialogs.h"
#include "ui/qt/qt_call_pump.h"
#include "ui/qt/widget_text.h"
#include "unit/end_at_once.h"

namespace {

constexpr int kExitNotStarted = 2;

void Note(const std::string& message) {
    vantrel::WriteText(stderr, "vantrel-station: " + message + "\n");
}

// Told on standard error and in a message box: the window may have been
// started from a desktop, where nobody reads standard error.
int Fail(const std::string& message) {
    Note("error: " + message);
    vantrel::ShowPlainMessage(QMessageBox::Critical, QStringLiteral("Vantrel Station"),
                              QString::fromStdString(message), nullptr);
    return kExitNotStarted;
}

// The labels the shift's records carry, asked for when the settings say so;
// false when the operator declined.
bool AskShiftLabels(const vantrel::StationOptions& options, vantrel::StationSetup& setup) {
    vantrel::CIniFile settings;
    settings.SetPath(vantrel::LookUpSettingsFile().path);
    const vantrel::ShiftQuestions questions = vantrel::ReadShiftQuestions(settings, options.labels);
    if (!questions.Any()) {
        return true;
    }
    vantrel::ShiftDialog dialog(questions, setup.labels, nullptr);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    setup.labels = dialog.Answered(setup.labels);
    for (auto& port : setup.config.ports) {
        port.unitTemplate.operatorName = setup.labels.operatorName;
        port.unitTemplate.workOrder = setup.labels.workOrder;
    }
    return true;
}

// What a window started without arguments (from its desktop entry) is
// missing: the image, chosen in a file dialog, and the slots, every serial
// port found (each by its by-path name, which stays with the socket).
// False when the operator declined, or there is no port.
bool CompleteFromTheDesktop(vantrel::StationOptions& options) {
    if (options.image.empty()) {
        const QString image = QFileDialog::getOpenFileName(
            nullptr, QStringLiteral("Vantrel Station: the shift's image"), QString(),
            vantrel::NameFilters(vantrel::ImageFileFilters()).join(QStringLiteral(";;")));
        if (image.isEmpty()) {
            return false;
        }
        options.image = image.toStdString();
    }
    if (options.ports.empty()) {
        for (const vantrel::DetectedPort& port : vantrel::DetectSerialPorts()) {
            vantrel::StationPortArg slot;
            slot.label = port.byPath.empty() ? port.device : port.byPath;
            slot.device = slot.label;
            options.ports.push_back(std::move(slot));
        }
        if (options.ports.empty()) {
            Fail(
                "no serial port was found on this machine; name the ports: "
                "vantrel-station --window IMAGE PORT...");
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they need no display.
    const auto parsed = vantrel::ParseStationOptions(argc, argv);
    if (const auto* exit = std::get_if<vantrel::CommandLineExit>(&parsed)) {
        return vantrel::Report(*exit);
    }
    auto options = std::get<vantrel::StationOptions>(parsed);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel Station"));
    QApplication::setWindowIcon(vantrel::ApplicationIcon());
    // Lets the desktop match the window to vantrel-station.desktop.
    QApplication::setDesktopFileName(QStringLiteral("vantrel-station"));

    // A stop signal before the shift begins closes the dialog it finds, and
    // the program ends as when that dialog is declined; once the window
    // shows, the window stops its slots.
    vantrel::QtCallPump pump;
    bool stoppedEarly = false;
    // Read by the signal thread too, should it end the program at once.
    std::atomic<vantrel::StationSetup*> shiftSetup{nullptr};
    std::atomic<vantrel::StationWindow*> shiftWindow{nullptr};
    const vantrel::StopSignals stopSignals(
        pump.Calls(), /*interruptFinishesFirst=*/true,
        {[&](vantrel::StopStep step) {
             if (vantrel::StationWindow* window = shiftWindow.load()) {
                 window->OnStopSignal(step);
             } else {
                 stoppedEarly = true;
                 vantrel::CloseModalDialogs(nullptr);
             }
         },
         [&] {
             static const vantrel::UnitsUnderWay none;
             vantrel::StationSetup* setup = shiftSetup.load();
             const vantrel::StationWindow* shown = shiftWindow.load();
             vantrel::EndAtOnce("vantrel-station", setup ? setup->recorder.get() : nullptr,
                                setup ? setup->recordTarget : vantrel::RecordTarget{},
                                shown ? shown->UnderWay() : none);
         }});

    if (!CompleteFromTheDesktop(options) || stoppedEarly) {
        return kExitNotStarted;
    }
    vantrel::RecorderOptions recording;
    recording.onWarning = [](const std::string& message) { Note("warning: " + message); };
    recording.onNotice = Note;
    auto prepared = vantrel::PrepareStation(options, recording);
    if (const auto* error = std::get_if<std::string>(&prepared)) {
        return Fail(*error);
    }
    auto& setup = std::get<vantrel::StationSetup>(prepared);
    shiftSetup.store(&setup);
    if (!AskShiftLabels(options, setup) || stoppedEarly) {
        return kExitNotStarted;
    }
    int status = 0;
    {
        vantrel::StationWindow shown(setup, {options.askSerial});
        shown.resize(1280, 860);
        shown.show();
        shiftWindow.store(&shown);
        shown.StartAll();
        QApplication::exec();
        status = shown.ExitStatus();
        shiftWindow.store(nullptr);
    }
    if (setup.recorder) {
        const vantrel::RecorderProgress left = setup.recorder->Close(std::chrono::seconds(5));
        if (vantrel::ReportRecorderEnding(left, setup.recordTarget, "vantrel-station", stderr) >
                0 &&
            status == 0) {
            status = vantrel::kExitNotRecorded;
        }
    }
    return status;
}
