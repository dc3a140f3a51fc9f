#include "ui/updater_dlg.h"

#include "engine/loader_identifier.h"
#include "platform/settings_lookup.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "ui/control_ids.h"
#include "ui/silent_line_hint.h"
#include "ui/usb_latency_cost.h"

namespace vantrel {
namespace {

constexpr int kPortEntries = 4;

}  // namespace

CUpdaterDlg::CUpdaterDlg(UpdaterView& view, UiThreadCalls& ui, std::string applicationName,
                         std::chrono::milliseconds silentLineHintDelay)
    : m_view(view),
      m_applicationName(std::move(applicationName)),
      m_images(view, m_slots, m_applicationName),
      m_session(m_slots, *this, ui),
      m_receive(m_session, *this),
      m_comm(ui),
      m_silentLineHintDelay(silentLineHintDelay),
      m_silentLineHint(ui, [this] { HintAtSilentLine(); }) {}

CUpdaterDlg::~CUpdaterDlg() {
    // No hint runs while the port and the session below are taken down.
    m_silentLineHint.Stop();
    // The port first, also after it was lost: closing it shuts the gate of
    // its calls onto this thread, so a worker blocked in a write (or waiting
    // here over a write error) is let go, and no chunk arrives any more.
    m_comm.ClosePort();
    m_session.Stop();
    m_slots.ClearSlots();
}

void CUpdaterDlg::OnInitDialog(int selectedPortIndex) {
    m_view.ClearLog();
    m_iniFile.SetPath(LookUpSettingsFile().path);
    m_slots.ClearSlots();
    m_portNumber = -1;
    // Named before the first open, so no early chunk is dropped.
    m_comm.SetOwner(this);
    m_comm.SetDeviceResolver([this](int portNumber) { return MapPortNumber(portNumber); });
    for (int port = 1; port <= kPortEntries; ++port) {
        m_view.AddComboEntry(kIdPortSelector, "PORT " + std::to_string(port));
    }
    m_view.SetComboSelection(kIdPortSelector, selectedPortIndex);
    OpenPortOfSelection();
    m_view.ClearLog();
    // The window starts with an empty log, but why PORT n did not open, or
    // what its adapter costs, must stay in view.
    if (m_comm.IsConnected() == 0) {
        LogOpenOutcome();
    } else {
        LogUsbLatencyCost();
    }
    SetBusy(false);
}

bool CUpdaterDlg::OnCommand(int id) {
    switch (id) {
        case kIdStart:
            OnStart();
            return true;
        case kIdCancel:
            OnCancelUpdate();
            return true;
        case kIdOpenImage:
            OnOpenImage();
            return true;
        case kIdOpenPort:
            OpenSelectedPort();
            return true;
        case kIdConfiguration:
            OnConfiguration();
            return true;
        case kIdClear:
            OnClear();
            return true;
        default:
            return false;
    }
}

bool CUpdaterDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) != kIdAboutCommand) {
        return false;
    }
    m_view.RunAboutBox();
    return true;
}

void CUpdaterDlg::OnStart() {
    if (m_busy) {
        return;  // the Start button is disabled while Busy
    }
    if (m_comm.IsConnected() == 0) {
        RefuseStart(kStatusNotConnected, "the port is not open");
        return;
    }
    OpenSelectedPort();
    if (m_comm.IsConnected() == 0) {
        // The re-opening failed: its status stays, no session starts.
        Tell(update_event::StartRefused{"the port did not open again"});
        return;
    }
    // A cancelled session's worker may still be ending; it must be gone
    // before its slots are filled again.
    m_session.WaitForWorkerEnd();
    std::string refusal = m_images.LoadImageIntoSlot();
    if (m_slots.ModuleCount() > 0 && m_images.ImageKind() != 0) {
        SetBusy(true);
        ShowStatus(kStatusWaitBoot);
        StartSession();
    } else {
        RefuseStart(kStatusNoModules, refusal.empty() ? "no image is loaded" : std::move(refusal));
    }
}

void CUpdaterDlg::RefuseStart(StatusCode code, std::string reason) {
    ShowStatus(code);
    Tell(update_event::StartRefused{std::move(reason)});
}

void CUpdaterDlg::StartSession() {
    OnClear();
    const bool boxWaiting = m_receive.TakePendingBoot();
    m_receive.Reset();
    m_lastSessionEnd.reset();
    Tell(update_event::SessionStarted{m_images.LoadedPath(), m_images.ImageKind(),
                                      m_images.LoadedSha256().value_or(""), m_slots.TotalBlocks()});
    m_session.StartSession();
    if (boxWaiting) {
        // The box that started again during the last session announced
        // itself then and waits for its handshake: it would not say BOOT
        // again.
        AppendLog("BOOT\r\n");
        m_session.OnBootFromBox();
        return;
    }
    m_silentLineHint.Start(m_silentLineHintDelay);
}

void CUpdaterDlg::OnCancelUpdate() {
    const bool connected = m_comm.IsConnected() != 0;
    // A lost port must not trap the operator in Busy: a running session
    // still ends, only without the CNL frame.
    if (!connected && !m_session.WorkerRunning()) {
        return;
    }
    m_silentLineHint.Stop();
    m_session.Cancel(connected);
    SetBusy(false);
    ShowStatus(kStatusCleared);
}

void CUpdaterDlg::OnOpenImage() {
    if (std::string refusal = m_images.OnOpenImage(); !refusal.empty()) {
        Tell(update_event::ImageRefused{std::move(refusal)});
    }
}

void CUpdaterDlg::OnClear() {
    m_view.ClearLog();
}

void CUpdaterDlg::OnConfiguration() {
    m_view.RunPortConfigurationDialog();
}

void CUpdaterDlg::OpenSelectedPort() {
    if (OpenPortOfSelection()) {
        LogOpenOutcome();
    }
}

bool CUpdaterDlg::OpenPortOfSelection() {
    const int selected = m_view.ComboSelection(kIdPortSelector);
    if (m_portNumber == selected + 1 && m_comm.IsConnected() != 0) {
        return false;
    }
    if (m_comm.IsConnected() != 0) {
        m_comm.ClosePort();
    }
    m_portNumber = m_view.ComboSelection(kIdPortSelector) + 1;
    m_receive.TakePendingBoot();  // whatever waits on another line is not this one's
    DetectPorts();
    ShowStatus(kStatusCheckingPort);
    if (m_comm.OpenPort(DefaultPortSettings(static_cast<std::uint8_t>(m_portNumber))) != 0) {
        m_comm.SetOwner(this);
        ShowStatus(kStatusPortOpened);
        const DetectedPort* detected = OpenedDetectedPort();
        Tell(update_event::PortOpened{m_comm.Device(), detected != nullptr
                                                           ? std::optional<DetectedPort>(*detected)
                                                           : std::nullopt});
    } else {
        ShowStatus(kStatusPortFailed);
        Tell(update_event::PortNotOpened{m_comm.Device(), m_comm.LastOpenError().kind,
                                         DescribeOpenError(m_comm.LastOpenError())});
    }
    return true;
}

void CUpdaterDlg::LogOpenOutcome() {
    // A number outside the selector's was refused before any device was chosen.
    if (m_portNumber >= 1 && m_portNumber <= kPortEntries) {
        AppendLog(PortIdentityLine(m_portNumber, m_comm.Device(), OpenedDetectedPort()));
    }
    if (m_comm.IsConnected() == 0) {
        AppendLog(DescribeOpenError(m_comm.LastOpenError()) + "\r\n");
    } else {
        LogUsbLatencyCost();
    }
}

void CUpdaterDlg::LogUsbLatencyCost() {
    const DetectedPort* port = OpenedDetectedPort();
    if (port == nullptr || port->kind != PortKind::kUsb) {
        return;
    }
    if (const auto line =
            UsbLatencyCostLine(m_portNumber, *port, ReadLatencyTimerMs(port->sysName))) {
        AppendLog(*line + "\r\n");
    }
}

void CUpdaterDlg::DetectPorts() {
    m_detectedPorts = m_portDetector ? m_portDetector() : DetectSerialPorts();
    for (int port = 1; port <= kPortEntries; ++port) {
        const PortDevice device = MapPortNumber(port);
        m_view.SetComboEntryTooltip(
            kIdPortSelector, port - 1,
            DescribePortDevice(device, FindDetectedPort(device.path, m_detectedPorts)));
    }
}

const DetectedPort* CUpdaterDlg::OpenedDetectedPort() const {
    return FindDetectedPort(m_comm.Device().path, m_detectedPorts);
}

PortDevice CUpdaterDlg::MapPortNumber(int portNumber) const {
    return ResolvePortDevice(portNumber, m_iniFile, m_detectedPorts, m_givenDevice);
}

void CUpdaterDlg::SetBusy(bool busy) {
    static constexpr int kIdleOnly[] = {kIdDestAddress, kIdOpenImage,     kIdFileName,
                                        kIdOpenPort,    kIdConfiguration, kIdStart};
    m_busy = busy;
    for (int id : kIdleOnly) {
        m_view.Enable(id, !busy);
    }
    m_view.Enable(kIdCancel, busy);
    m_view.Enable(kIdExit, !busy);
    if (busy) {
        m_view.SetProgressRange(0, static_cast<int>(m_slots.TotalBlocks()));
    } else {
        m_view.SetProgressPos(0);
    }
}

void CUpdaterDlg::ShowStatus(StatusCode code) {
    const UpdateSession::Progress progress = m_session.CurrentProgress();
    if (code == kStatusWaitBoot) {
        m_uploadPercentage.Reset();
    }
    if (code == kStatusUpdating && progress.hasSlot) {
        if (auto line = m_uploadPercentage.Update(progress.blockCounter, progress.blockCount)) {
            AppendLog(*line);
        }
    }
    m_view.SetText(kIdStatusLine, StatusText(code, m_portNumber, progress));
}

void CUpdaterDlg::AppendLog(std::string_view text) {
    m_view.AppendLog(text);
    if (m_listener != nullptr) {
        Tell(update_event::LogAppended{std::string(text)});
    }
}

void CUpdaterDlg::SetProgressPos(std::uint32_t position) {
    m_view.SetProgressPos(static_cast<int>(position));
}

void CUpdaterDlg::OnSessionFailed() {
    m_session.OnSessionFailed();
    // A Cancel pressed between the box's last ACK and the worker's waking
    // wins, as the window shows it.
    const SessionEndCause cause = m_session.EndCause();
    SessionEnded(cause == SessionEndCause::kCompleted ? SessionEndCause::kCancelled : cause);
}

void CUpdaterDlg::OnSessionDone() {
    m_session.OnSessionDone();
    SessionEnded(SessionEndCause::kCompleted);
    ShowStatus(kStatusComplete);
}

void CUpdaterDlg::SessionEnded(SessionEndCause cause) {
    m_silentLineHint.Stop();
    const UpdateSession::Progress progress = m_session.CurrentProgress();
    m_slots.ClearSlots();
    SetBusy(false);
    m_lastSessionEnd = SessionEnd{cause, progress.blockCounter, progress.blocksTotal,
                                  m_receive.MissingReadbackBlocks()};
    Tell(update_event::SessionEnded{*m_lastSessionEnd});
}

void CUpdaterDlg::OnSessionEvent(const SessionEvent& event) {
    Tell(event);
}

void CUpdaterDlg::WriteFrame(std::span<const std::uint8_t> frame) {
    m_comm.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void CUpdaterDlg::FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) {
    vantrel::FillLoaderId(m_iniFile, loaderId);
}

void CUpdaterDlg::OnCommData(std::span<const std::uint8_t> chunk) {
    m_lastReceiveTime = std::chrono::steady_clock::now();
    m_receive.OnCommData(chunk);
    // Any byte ends a silence; BOOT ends the wait the hint is about.
    if (m_silentLineHint.Pending()) {
        if (m_session.State() == kWaitBoot) {
            m_silentLineHint.Start(m_silentLineHintDelay);
        } else {
            m_silentLineHint.Stop();
        }
    }
}

void CUpdaterDlg::HintAtSilentLine() {
    const std::string hint = SilentLineHint(m_comm.Device().path, m_silentLineHintDelay);
    AppendLog(hint + "\r\n");
    m_view.ShowHint(hint);
    Tell(update_event::LineSilent{m_silentLineHintDelay});
}

void CUpdaterDlg::OnCommLost(const PortLoss& loss) {
    m_silentLineHint.Stop();  // the log names the loss; a hint would mislead
    m_receive.TakePendingBoot();
    std::string reason = DescribePortLoss(loss);
    ShowStatus(kStatusPortFailed);
    AppendLog(reason + "\r\n");
    Tell(update_event::PortLost{std::move(reason)});
}

void CUpdaterDlg::OnCommWriteError() {
    m_view.ShowMessage("ERROR", m_applicationName, MessageIcon::kWarning);
}

}  // namespace vantrel
