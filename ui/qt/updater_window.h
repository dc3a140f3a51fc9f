#pragma once

#include <QDialog>
#include <QMenu>
#include <memory>

#include "platform/stop_escalation.h"
#include "ui/qt/dialog_builder.h"
#include "ui/qt/dialog_provider.h"
#include "ui/qt/qt_call_pump.h"
#include "ui/updater_dlg.h"
#include "ui/updater_view.h"
#include "unit/unit_recording.h"

namespace vantrel {

class LogPane;

// The main window on the desktop: dialog template 102 drawn with Qt widgets,
// the view of the toolkit-free CUpdaterDlg. It owns that window logic, the
// recording of its units and the queue through which the serial reader, the
// update worker and the recorder have their calls run on this, the GUI
// thread.
class UpdaterWindow : public QDialog, public UpdaterView {
    Q_OBJECT

  public:
    // Construct on the GUI thread. Initialises the window logic, which opens
    // PORT 1, before it returns; its modal dialogs run through `dialogs`.
    explicit UpdaterWindow(DialogProvider& dialogs);
    // The worker and the port's reader end before the controls go.
    ~UpdaterWindow() override;

    // Runs the window modally, stopped by the operator or by a stop signal,
    // and sends its records. The exit status: 0 unless a stop signal came
    // while a unit was under way; then 1 when that unit did not complete,
    // 3 when it completed but is not in the record file.
    int Run();
    // A stop signal, on the GUI thread: any modal dialog goes, the unit under
    // way is cancelled as with the Cancel button, and the window closes once
    // its session has ended and the unit is handed to the recorder.
    void OnStopSignal(StopStep step);

    // The system-command handler: commands 16 to 31 open the About box.
    void OnSysCommand(int id);
    // Stands in for the system menu, which this platform does not give a
    // program: "About Vantrel(&A)..." (command 16), from the context menu.
    QMenu& SystemMenu() { return m_systemMenu; }
    const CUpdaterDlg& Logic() const { return *m_dlg; }

    // Exit, Escape and the close box all end here: refused while Busy.
    void reject() override;

    // UpdaterView
    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enabled) override;
    void AddComboEntry(int id, std::string_view text) override;
    void SetComboSelection(int id, int index) override;
    int ComboSelection(int id) override;
    void SetComboEntryTooltip(int id, int index, std::string_view text) override;
    void AppendLog(std::string_view text) override;
    void ClearLog() override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    std::optional<std::string> ChooseFileToOpen(std::span<const FileFilter> filters) override;
    void RunPortConfigurationDialog() override;
    void RunAboutBox() override;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void ConnectButtons();
    void CloseOnceStopped();
    LogPane& Log() const;

    DialogProvider& m_dialogs;
    // Declared first, so it outlives the window logic that reports to it.
    DialogControls m_controls;
    QMenu m_systemMenu;
    QtCallPump m_ui;
    std::unique_ptr<CUpdaterDlg> m_dlg;
    std::unique_ptr<UnitRecording> m_recording;
    bool m_stopping = false;  // by a stop signal
    bool m_unitAtStop = false;
};

}  // namespace vantrel
