#include "ui/updater_dlg.h"

#include "core/open_outcome.h"
#include "core/port_request.h"
#include "platform/settings_lookup.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

constexpr int kPortEntries = 4;

}  // namespace

CUpdaterDlg::CUpdaterDlg(UpdaterView& view, UiThreadCalls& ui, std::string applicationName,
                         std::chrono::milliseconds silentLineHintDelay)
    : m_view(view),
      m_applicationName(std::move(applicationName)),
      m_images(view),
      m_core(ui, {"window", LookUpSettingsFile().path, silentLineHintDelay}) {
    m_core.AddListener(*this);
}

CUpdaterDlg::~CUpdaterDlg() {
    m_core.RemoveListener(*this);
}

void CUpdaterDlg::OnInitDialog(int selectedPortIndex) {
    m_view.ClearLog();
    m_iniFile.SetPath(LookUpSettingsFile().path);
    m_portNumber = -1;
    for (int port = 1; port <= kPortEntries; ++port) {
        m_view.AddComboEntry(kIdPortSelector, "PORT " + std::to_string(port));
    }
    m_view.SetComboSelection(kIdPortSelector, selectedPortIndex);
    OpenPortOfSelection();
    m_view.ClearLog();
    // The window starts with an empty log, but why PORT n did not open, or
    // what its adapter costs, must stay in view.
    m_core.AppendLog(OpenOutcomeLog(m_core, /*identity=*/!m_core.IsOpen()));
    SetBusy(false, 0);
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
    if (m_core.Busy()) {
        return;  // the Start button is disabled while Busy
    }
    // A port that is not open is refused by the core: "Not connected!!".
    if (m_core.IsOpen()) {
        OpenSelectedPort();
        if (!m_core.IsOpen()) {
            return;  // the re-opening failed: its status stays, no session starts
        }
    }
    m_core.Start(m_images.Choice());
}

void CUpdaterDlg::OnCancelUpdate() {
    m_core.Cancel();
}

void CUpdaterDlg::OnOpenImage() {
    m_images.OnOpenImage();
}

void CUpdaterDlg::OnClear() {
    m_view.ClearLog();
}

void CUpdaterDlg::OnConfiguration() {
    m_view.RunPortConfigurationDialog();
}

void CUpdaterDlg::OpenSelectedPort() {
    if (OpenPortOfSelection()) {
        m_core.AppendLog(OpenOutcomeLog(m_core, /*identity=*/true));
    }
}

bool CUpdaterDlg::OpenPortOfSelection() {
    const int selected = m_view.ComboSelection(kIdPortSelector);
    if (m_portNumber == selected + 1 && m_core.IsOpen()) {
        return false;
    }
    m_core.Close();
    m_portNumber = selected + 1;
    DetectPorts();
    m_core.Open(RequestForPort(m_portNumber, m_iniFile, m_detectedPorts));
    return true;
}

void CUpdaterDlg::DetectPorts() {
    m_detectedPorts = m_portDetector ? m_portDetector() : DetectSerialPorts();
    for (int port = 1; port <= kPortEntries; ++port) {
        const PortDevice device = ResolvePortDevice(port, m_iniFile, m_detectedPorts);
        m_view.SetComboEntryTooltip(
            kIdPortSelector, port - 1,
            DescribePortDevice(device, FindDetectedPort(device.path, m_detectedPorts)));
    }
}

void CUpdaterDlg::SetBusy(bool busy, std::uint32_t blocks) {
    static constexpr int kIdleOnly[] = {kIdDestAddress, kIdOpenImage,     kIdFileName,
                                        kIdOpenPort,    kIdConfiguration, kIdStart};
    for (int id : kIdleOnly) {
        m_view.Enable(id, !busy);
    }
    m_view.Enable(kIdCancel, busy);
    m_view.Enable(kIdExit, !busy);
    if (busy) {
        m_view.SetProgressRange(0, static_cast<int>(blocks));
    } else {
        m_view.SetProgressPos(0);
    }
}

void CUpdaterDlg::OnPortEvent(const PortEvent& event) {
    using namespace port_event;
    using Cause = StartRefused::Cause;
    if (const auto* status = std::get_if<StatusShown>(&event.data)) {
        m_view.SetText(kIdStatusLine,
                       StatusText(status->code, status->portNumber, status->progress));
    } else if (const auto* log = std::get_if<LogAppended>(&event.data)) {
        m_view.AppendLog(log->text);
    } else if (std::holds_alternative<LogCleared>(event.data)) {
        m_view.ClearLog();
    } else if (const auto* busy = std::get_if<BusyChanged>(&event.data)) {
        SetBusy(busy->busy, busy->blocks);
    } else if (const auto* step = std::get_if<SessionEvent>(&event.data)) {
        if (step->kind == SessionEvent::Kind::kBlockAcknowledged) {
            m_view.SetText(kIdStatusLine, AcknowledgedStatusText(*step));
            m_view.SetProgressPos(static_cast<int>(step->block));
        }
    } else if (const auto* refused = std::get_if<StartRefused>(&event.data)) {
        if (refused->cause == Cause::kImageMissing) {
            m_view.ShowMessage(refused->alert, m_applicationName, MessageIcon::kWarning);
        } else if (refused->cause == Cause::kImageRefused) {
            m_images.Forget();
            m_view.ShowMessage(refused->alert, "Error", MessageIcon::kNone);
        }
    } else if (const auto* silent = std::get_if<LineSilent>(&event.data)) {
        m_view.ShowHint(silent->hint);
    } else if (std::holds_alternative<WriteFailed>(event.data)) {
        m_view.ShowMessage("ERROR", m_applicationName, MessageIcon::kWarning);
    }
}

}  // namespace vantrel
