#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/module_slots.h"
#include "engine/receive_stream.h"
#include "engine/session_end.h"
#include "engine/session_host.h"
#include "engine/update_session.h"
#include "platform/ini_file.h"
#include "platform/one_shot_timer.h"
#include "platform/ui_thread_call.h"
#include "ports/detected_port.h"
#include "serial/comm.h"
#include "serial/comm_owner.h"
#include "ui/image_selection.h"
#include "ui/status_text.h"
#include "ui/update_event.h"
#include "ui/updater_view.h"

namespace vantrel {

// The main window's logic, free of any toolkit: it owns the serial port,
// the settings file, the module slots and the update engine, and drives its
// controls through an UpdaterView. Every public operation runs on the UI
// thread, the one that runs `ui`'s calls.
class CUpdaterDlg : public SessionHost, public CommOwner {
  public:
    // The window's own command identifiers beside its controls.
    static constexpr int kIdAboutCommand = 16;

    // How long the line may stay silent while a session waits for BOOT
    // before the log says what to check.
    static constexpr std::chrono::seconds kSilentLineHintDelay{10};

    // `applicationName` captions the program's own message boxes; tests
    // shorten `silentLineHintDelay`.
    CUpdaterDlg(UpdaterView& view, UiThreadCalls& ui, std::string applicationName,
                std::chrono::milliseconds silentLineHintDelay = kSilentLineHintDelay);
    // Teardown: the worker and the port's reader end before anything they
    // use goes.
    ~CUpdaterDlg() override;
    CUpdaterDlg(const CUpdaterDlg&) = delete;
    CUpdaterDlg& operator=(const CUpdaterDlg&) = delete;

    // Initialisation once the controls exist: settings path, slots, port
    // entries "PORT 1" to "PORT 4", the first (or the given) entry selected
    // and opened, Idle.
    void OnInitDialog(int selectedPortIndex = 0);

    // Routes a button's command to its handler; false for an id that is not
    // one of the window's buttons (Exit is the front end's: see CanClose).
    bool OnCommand(int id);
    // The system-command handler: commands 16 to 31 open the About box;
    // false for the commands the front end handles itself.
    bool OnSysCommand(int id);
    // Exit, Escape and the close box close the window only while Idle.
    bool CanClose() const { return !m_busy; }

    void OnStart();
    void OnCancelUpdate();
    void OnOpenImage();
    void OnClear();
    void OnConfiguration();
    void OpenSelectedPort();
    void SetBusy(bool busy);

    // SessionHost
    void ShowStatus(StatusCode code) override;
    void AppendLog(std::string_view text) override;
    void SetProgressPos(std::uint32_t position) override;
    void OnSessionFailed() override;
    void OnSessionDone() override;
    void OnSessionEvent(const SessionEvent& event) override;
    void WriteFrame(std::span<const std::uint8_t> frame) override;
    void FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) override;

    // CommOwner
    void OnCommData(std::span<const std::uint8_t> chunk) override;
    void OnCommLost(const PortLoss& loss) override;
    void OnCommWriteError() override;

    // For front ends that watch a session: whether the last one succeeded
    // (nothing while one runs or before the first), and when the box last
    // sent bytes.
    std::optional<bool> LastSessionSucceeded() const {
        return m_lastSessionEnd ? std::optional<bool>(m_lastSessionEnd->Succeeded()) : std::nullopt;
    }
    bool SessionRunning() const { return m_session.WorkerRunning(); }
    std::chrono::steady_clock::time_point LastReceiveTime() const { return m_lastReceiveTime; }
    int PortNumber() const { return m_portNumber; }
    std::int32_t ImageKind() const { return m_images.ImageKind(); }
    const ModuleSlots& Slots() const { return m_slots; }
    const CComm& Comm() const { return m_comm; }
    SessionState CurrentSessionState() const { return m_session.State(); }
    // What discovery knew of the device of the last open, nullptr if nothing.
    const DetectedPort* OpenedDetectedPort() const;

    // How this machine's serial ports are found at each open; by default
    // a look of the window's own.
    using PortDetector = std::function<std::vector<DetectedPort>()>;
    void SetPortDetector(PortDetector detector) { m_portDetector = std::move(detector); }

    // Who is told each UpdateEvent from now on; nullptr: nobody.
    void SetListener(UpdateListener* listener) { m_listener = listener; }

    // From the next open on, PORT n is the device the operator gave for it,
    // whatever the environment and the settings say: --device, or a
    // station's PORT given as a path.
    void SetPortDevice(std::optional<GivenDevice> device) { m_givenDevice = std::move(device); }
    // From now on Start sends only an image with this SHA-256: a station's
    // boxes all get the image its shift began with.
    void PinImageSha256(std::string sha256) { m_images.PinSha256(std::move(sha256)); }
    // See ImageSelection::LoadedSha256.
    const std::optional<std::string>& LoadedImageSha256() const { return m_images.LoadedSha256(); }
    // See ReceiveStream::SetReadbackFile.
    void SetReadbackFile(std::optional<std::string> path) {
        m_receive.SetReadbackFile(std::move(path));
    }

  private:
    // Looks at this machine's ports again (an adapter may have been
    // replugged) and names each selector entry's device in its tooltip.
    void DetectPorts();
    PortDevice MapPortNumber(int portNumber) const;
    // Opens the selected port unless it is open already; false when nothing
    // was tried.
    bool OpenPortOfSelection();
    // "PORT 1 is /dev/ttyUSB0: ..." and, when the open failed, why.
    void LogOpenOutcome();
    // What a slow USB adapter costs, when it kept a latency timer above 1 ms
    // through the open.
    void LogUsbLatencyCost();
    void StartSession();
    void SessionEnded(SessionEndCause cause);
    void HintAtSilentLine();
    void Tell(const UpdateEvent& event) {
        if (m_listener != nullptr) {
            m_listener->OnUpdateEvent(event);
        }
    }
    void RefuseStart(StatusCode code, std::string reason);

    UpdaterView& m_view;
    std::string m_applicationName;

    CIniFile m_iniFile;
    ModuleSlots m_slots;
    ImageSelection m_images;
    UploadPercentage m_uploadPercentage;
    int m_portNumber = -1;
    bool m_busy = false;
    std::optional<SessionEnd> m_lastSessionEnd;
    std::chrono::steady_clock::time_point m_lastReceiveTime{};
    std::vector<DetectedPort> m_detectedPorts;
    std::optional<GivenDevice> m_givenDevice;
    UpdateListener* m_listener = nullptr;
    PortDetector m_portDetector;

    // Destroyed in reverse: the port (and its reader) first, then the
    // session (and its worker), then the slots they used.
    UpdateSession m_session;
    ReceiveStream m_receive;
    CComm m_comm;

    // Armed at Start and counted again from every chunk until BOOT; stopped
    // first at teardown.
    const std::chrono::milliseconds m_silentLineHintDelay;
    OneShotTimer m_silentLineHint;
};

}  // namespace vantrel
