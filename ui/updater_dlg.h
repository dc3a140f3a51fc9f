#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/port_core.h"
#include "platform/ini_file.h"
#include "platform/ui_thread_call.h"
#include "ports/detected_port.h"
#include "ui/image_selection.h"
#include "ui/updater_view.h"

namespace vantrel {

// The main window's logic, free of any toolkit: its controls (addressed by
// control id through an UpdaterView), the port selector and its tooltips,
// the image Open, About and the enabling, over the port core that runs the
// updates. Every public operation runs on the UI thread, the one that runs
// `ui`'s calls.
class CUpdaterDlg : private PortListener {
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
    ~CUpdaterDlg();
    CUpdaterDlg(const CUpdaterDlg&) = delete;
    CUpdaterDlg& operator=(const CUpdaterDlg&) = delete;

    // Initialisation once the controls exist: port entries "PORT 1" to
    // "PORT 4", the first (or the given) entry selected and opened, Idle.
    void OnInitDialog(int selectedPortIndex = 0);

    // Routes a button's command to its handler; false for an id that is not
    // one of the window's buttons (Exit is the front end's: see CanClose).
    bool OnCommand(int id);
    // The system-command handler: commands 16 to 31 open the About box;
    // false for the commands the front end handles itself.
    bool OnSysCommand(int id);
    // Exit, Escape and the close box close the window only while Idle.
    bool CanClose() const { return !m_core.Busy(); }

    void OnStart();
    void OnCancelUpdate();
    void OnOpenImage();
    void OnClear();
    void OnConfiguration();
    void OpenSelectedPort();

    // The core under the window: its port, its session, its listeners.
    PortCore& Core() { return m_core; }
    const PortCore& Core() const { return m_core; }
    int PortNumber() const { return m_portNumber; }
    std::int32_t ImageKind() const { return m_images.ImageKind(); }

    // How this machine's serial ports are found at each open; by default
    // a look of the window's own.
    using PortDetector = std::function<std::vector<DetectedPort>()>;
    void SetPortDetector(PortDetector detector) { m_portDetector = std::move(detector); }

  private:
    void OnPortEvent(const PortEvent& event) override;
    void SetBusy(bool busy, std::uint32_t blocks);
    // Looks at this machine's ports again (an adapter may have been
    // replugged) and names each selector entry's device in its tooltip.
    void DetectPorts();
    // Opens the selected port unless it is open already; false when nothing
    // was tried.
    bool OpenPortOfSelection();

    UpdaterView& m_view;
    const std::string m_applicationName;
    CIniFile m_iniFile;
    ImageSelection m_images;
    int m_portNumber = -1;
    std::vector<DetectedPort> m_detectedPorts;
    PortDetector m_portDetector;
    PortCore m_core;
};

}  // namespace vantrel
