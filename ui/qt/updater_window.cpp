#include "ui/qt/updater_window.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "cli/program_version.h"
#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "platform/stop_signals.h"
#include "ui/control_ids.h"
#include "ui/qt/about_dlg.h"
#include "ui/qt/application_icon.h"
#include "ui/qt/combo_box_entries.h"
#include "ui/qt/file_filters.h"
#include "ui/qt/log_pane.h"
#include "ui/qt/modal_dialogs.h"
#include "ui/qt/port_config_dlg.h"
#include "ui/qt/utf8_text.h"
#include "ui/qt/widget_text.h"
#include "unit/end_at_once.h"

namespace vantrel {
namespace {

// String resource 101.
constexpr const char* kAboutItemText = "About Vantrel(&A)...";

}  // namespace

UpdaterWindow::UpdaterWindow(DialogProvider& dialogs)
    : m_dialogs(dialogs),
      m_controls(BuildDialog(*this, MainWindowTemplate())),
      m_dlg(std::make_unique<CUpdaterDlg>(*this, m_ui.Calls(), ApplicationName())) {
    setWindowIcon(ApplicationIcon());
    ConnectButtons();
    QAction* about = m_systemMenu.addAction(QString::fromLatin1(kAboutItemText));
    connect(about, &QAction::triggered, this,
            [this] { OnSysCommand(CUpdaterDlg::kIdAboutCommand); });
    CIniFile settings;
    settings.SetPath(LookUpSettingsFile().path);
    m_recording = std::make_unique<UnitRecording>(
        m_dlg->Core(), m_ui.Calls(), settings, std::string(VersionText()),
        [this](const std::string& line) { AppendLog(line + "\r\n"); });
    m_recording->OnEachUnitEnded([this] {
        // Looked at once the session's end has been handled to its last step.
        QMetaObject::invokeMethod(this, &UpdaterWindow::CloseOnceStopped, Qt::QueuedConnection);
    });
    m_dlg->OnInitDialog();
}

UpdaterWindow::~UpdaterWindow() {
    m_recording.reset();
    m_dlg.reset();
}

void UpdaterWindow::ConnectButtons() {
    for (const ControlTemplate& control : MainWindowTemplate().controls) {
        auto* button = m_controls.Get<QPushButton>(control.id);
        if (button == nullptr) {
            continue;
        }
        // Enter presses no button here, so it never closes the window.
        button->setAutoDefault(false);
        if (control.id == kIdExit) {
            connect(button, &QPushButton::clicked, this, &UpdaterWindow::reject);
        } else {
            connect(button, &QPushButton::clicked, this,
                    [this, id = control.id] { m_dlg->OnCommand(id); });
        }
    }
}

int UpdaterWindow::Run() {
    const StopSignals stopSignals(m_ui.Calls(), /*interruptFinishesFirst=*/false,
                                  {[this](StopStep step) { OnStopSignal(step); },
                                   [this] {
                                       EndAtOnce("vantrel", m_recording->Recorder(),
                                                 m_recording->Target(), m_recording->UnderWay());
                                   }});
    exec();
    const std::size_t notRecorded = m_recording->Close();
    if (!m_unitAtStop) {
        return 0;
    }
    if (m_recording->LastOutcome() != UnitOutcome::kCompleted) {
        return 1;
    }
    return notRecorded > 0 ? kExitNotRecorded : 0;
}

void UpdaterWindow::OnStopSignal(StopStep /*step*/) {
    if (!m_stopping) {
        m_stopping = true;
        m_unitAtStop = m_recording->UnitUnderWay();
    }
    CloseModalDialogs(this);
    if (!m_dlg->CanClose() && !m_recording->StopUnit()) {
        m_dlg->OnCommand(kIdCancel);
    }
    // After the dialogs' loops have returned.
    QMetaObject::invokeMethod(this, &UpdaterWindow::CloseOnceStopped, Qt::QueuedConnection);
}

void UpdaterWindow::CloseOnceStopped() {
    // The window never closes while a session runs: only once its end has
    // reached the unit's record.
    if (m_stopping && !m_recording->UnitUnderWay() && m_dlg->CanClose()) {
        QDialog::reject();
    }
}

void UpdaterWindow::OnSysCommand(int id) {
    m_dlg->OnSysCommand(id);
}

void UpdaterWindow::reject() {
    // Teardown frees what the worker uses: only an Idle window closes.
    if (m_dlg->CanClose()) {
        QDialog::reject();
    }
}

void UpdaterWindow::contextMenuEvent(QContextMenuEvent* event) {
    m_systemMenu.exec(event->globalPos());
}

void UpdaterWindow::SetText(int id, std::string_view text) {
    if (QWidget* widget = m_controls.Find(id)) {
        SetWidgetText(*widget, FromUtf8(text));
    }
}

std::string UpdaterWindow::GetText(int id) {
    const QWidget* widget = m_controls.Find(id);
    return widget == nullptr ? std::string() : WidgetText(*widget).toStdString();
}

void UpdaterWindow::Enable(int id, bool enabled) {
    if (QWidget* widget = m_controls.Find(id)) {
        widget->setEnabled(enabled);
    }
}

void UpdaterWindow::AddComboEntry(int id, std::string_view text) {
    auto* combo = m_controls.Get<QComboBox>(id);
    if (combo == nullptr) {
        return;
    }
    if ((m_controls.TemplateOf(id)->style & kSorted) != 0) {
        InsertSorted(*combo, FromUtf8(text));
    } else {
        combo->addItem(FromUtf8(text));
    }
}

void UpdaterWindow::SetComboSelection(int id, int index) {
    if (auto* combo = m_controls.Get<QComboBox>(id)) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

int UpdaterWindow::ComboSelection(int id) {
    const auto* combo = m_controls.Get<QComboBox>(id);
    return combo == nullptr ? -1 : MatchingEntry(*combo);
}

void UpdaterWindow::SetComboEntryTooltip(int id, int index, std::string_view text) {
    if (auto* combo = m_controls.Get<QComboBox>(id);
        combo != nullptr && index >= 0 && index < combo->count()) {
        combo->setItemData(index, FromUtf8(text), Qt::ToolTipRole);
    }
}

LogPane& UpdaterWindow::Log() const {
    return *m_controls.Get<LogPane>(kIdLogPane);
}

void UpdaterWindow::AppendLog(std::string_view text) {
    Log().Append(text);
}

void UpdaterWindow::ClearLog() {
    Log().Clear();
}

void UpdaterWindow::SetProgressRange(int lower, int upper) {
    // Qt turns an empty range into a busy animation; here it is an empty bar.
    m_controls.Get<QProgressBar>(kIdProgress)->setRange(lower, std::max(upper, lower + 1));
}

void UpdaterWindow::SetProgressPos(int position) {
    auto* bar = m_controls.Get<QProgressBar>(kIdProgress);
    // Qt ignores a position outside the range; the bar shows it at the end.
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

void UpdaterWindow::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, this);
    // A file name is never taken for markup.
    box.setTextFormat(Qt::PlainText);
    m_dialogs.RunModal(box);
}

std::optional<std::string> UpdaterWindow::ChooseFileToOpen(std::span<const FileFilter> filters) {
    const QString path = m_dialogs.ChooseExistingFile(*this, NameFilters(filters));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

void UpdaterWindow::RunPortConfigurationDialog() {
    CPortConfigDlg dialog(this);
    m_dialogs.RunModal(dialog);
}

void UpdaterWindow::RunAboutBox() {
    CAboutDlg dialog(this);
    m_dialogs.RunModal(dialog);
}

}  // namespace vantrel
