#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image_load.h"
#include "core/kept_log.h"
#include "core/port_event.h"
#include "core/port_tap.h"
#include "core/status_text.h"
#include "engine/module_slots.h"
#include "engine/receive_stream.h"
#include "engine/session_host.h"
#include "engine/update_session.h"
#include "platform/ini_file.h"
#include "platform/one_shot_timer.h"
#include "platform/ui_thread_call.h"
#include "serial/comm.h"
#include "serial/comm_owner.h"

namespace vantrel {

// What a front end decided to open: the PORT number the status line names
// and the device behind it. Numbers 0 and 5 to 255 are refused without
// touching any device, as the window's port layer refuses them.
struct PortOpenRequest {
    int portNumber = 1;
    PortDevice device;
    // What discovery knew of the device, when the front end looked.
    std::optional<DetectedPort> detected;
};

struct PortCoreOptions {
    std::string label;         // named in every event: "PORT 1", a slot's name
    std::string settingsPath;  // the settings file the loader identifier is read from
    std::chrono::milliseconds silentLineHint{10000};  // silence before the log says what to check
};

// One serial port and the update dialogue over it, free of any toolkit:
// the port with its reader thread, the update session with its worker
// thread, the receive stream between them, the module slots, the unit's
// log, and the status codes the window shows at each step. Front ends
// (the window, vantrel-cli, the stations) decide the device, choose the
// image and press Start and Cancel; they learn what happens from events.
//
// Threads. The core belongs to one UI thread, the one that runs `ui`'s
// calls: every public call is made on it, and every listener is called on
// it. The serial reader and the session worker hand their work over to that
// thread and wait for it (a received chunk, a status, a session's end, a
// write error): a listener that blocks blocks them too, which is how the
// window's modal "ERROR" box holds the worker. Inside a callback a listener
// may read the core and append to its log; it must not open, close, start
// or cancel (post those to run after the callback returns), nor add or
// remove listeners.
//
// A tap, when one is set, is told every write on the worker's thread and
// every read on the UI thread (see PortTap).
//
// Results: a call that can be refused returns true when it did what was
// asked; why not is always told as an event (PortNotOpened, StartRefused)
// before it returns.
class PortCore : public SessionHost, public CommOwner {
  public:
    PortCore(UiThreadCalls& ui, PortCoreOptions options);
    // The port (and its reader) first, then the session (and its worker).
    ~PortCore() override;
    PortCore(const PortCore&) = delete;
    PortCore& operator=(const PortCore&) = delete;

    // Listeners are told events in the order they were added.
    void AddListener(PortListener& listener);
    void RemoveListener(PortListener& listener);
    // The port's traffic from now on; nullptr: nobody. Set it while no
    // session runs; it must outlive its use.
    void SetTap(PortTap* tap) { m_tap.store(tap); }

    // Closes the port if open, then opens the requested device at the
    // window's line settings: statuses "Checking" and "OK" or "Fail".
    bool Open(PortOpenRequest request);
    void Close();
    // Reads the image afresh and, when its bytes pass the image checks (and
    // match the pinned digest), starts a session that waits for BOOT.
    bool Start(const ImageChoice& image);
    // The Cancel button: during block transfer with a port to write to, CNL
    // goes out; the status line is cleared. Nothing without a session and a
    // port.
    void Cancel();
    // Appends to the log: the unit's log and every listener's.
    void AppendLog(std::string_view text) override;

    // From now on Start sends only an image with this SHA-256.
    void PinImageSha256(std::string sha256) { m_pinnedSha256 = std::move(sha256); }
    // Where the blocks the box sends back are stored; nothing: not stored.
    void SetReadbackFile(std::optional<std::string> path) {
        m_receive.SetReadbackFile(std::move(path));
    }

    const std::string& Label() const { return m_options.label; }
    bool IsOpen() const { return m_comm.IsConnected() != 0; }
    // Of the last open attempt.
    int PortNumber() const { return m_portNumber; }
    const PortDevice& Device() const { return m_comm.Device(); }
    const std::optional<DetectedPort>& Detected() const { return m_detected; }
    const OpenError& LastOpenError() const { return m_comm.LastOpenError(); }
    // From a session's start until its end or Cancel.
    bool Busy() const { return m_busy; }
    bool SessionRunning() const { return m_session.WorkerRunning(); }
    SessionState State() const { return m_session.State(); }
    std::chrono::steady_clock::time_point LastReceiveTime() const { return m_lastReceiveTime; }
    // The SHA-256 of the bytes the last Start read, taken or refused.
    const std::optional<std::string>& LoadedSha256() const { return m_loadedSha256; }
    // Whether the last session succeeded; nothing while one runs or before.
    std::optional<bool> LastSessionSucceeded() const { return m_lastSessionSucceeded; }
    const ModuleSlots& Slots() const { return m_slots; }
    // The log since the last session began.
    const KeptLog& Log() const { return m_log; }

    // SessionHost: the engine's calls.
    void ShowStatus(StatusCode code) override;
    void OnSessionFailed() override;
    void OnSessionDone() override;
    void OnSessionEvent(const SessionEvent& event) override;
    void WriteFrame(std::span<const std::uint8_t> frame) override;
    void FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) override;

    // CommOwner: the port's calls.
    void OnCommData(std::span<const std::uint8_t> chunk) override;
    void OnCommLost(const PortLoss& loss) override;
    void OnCommWriteError() override;

  private:
    void Tell(PortEventData data);
    void SetBusy(bool busy);
    // ">> Uploading... [37 %]" when the percentage changed.
    void LogUploadPercentage(const UpdateSession::Progress& progress);
    void RefuseStart(std::optional<StatusCode> status, port_event::StartRefused refusal);
    void StartSession(const std::string& imagePath, std::int32_t kind);
    void SessionEnded(SessionEndCause cause);
    void HintAtSilentLine();

    const PortCoreOptions m_options;
    std::vector<PortListener*> m_listeners;
    std::atomic<PortTap*> m_tap{nullptr};
    CIniFile m_settings;
    ModuleSlots m_slots;
    UploadPercentage m_uploadPercentage;
    KeptLog m_log;
    int m_portNumber = 0;
    std::optional<DetectedPort> m_detected;
    bool m_busy = false;
    std::optional<bool> m_lastSessionSucceeded;
    std::optional<std::string> m_pinnedSha256;
    std::optional<std::string> m_loadedSha256;
    std::chrono::steady_clock::time_point m_lastReceiveTime{};

    // Destroyed in reverse: the port (and its reader) first, then the
    // session (and its worker), then the slots they used.
    UpdateSession m_session;
    ReceiveStream m_receive;
    CComm m_comm;

    // Armed at Start and counted again from every chunk until BOOT; stopped
    // first at teardown.
    OneShotTimer m_silentLineHint;
};

}  // namespace vantrel
