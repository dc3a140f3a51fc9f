#include "tests/qt/scripted_dialogs.h"

#include <gtest/gtest.h>

#include "ui/qt/about_dlg.h"
#include "ui/qt/port_config_dlg.h"

namespace vantrel::test {
namespace {

std::string KindOf(QDialog& dialog) {
    if (qobject_cast<QMessageBox*>(&dialog) != nullptr) {
        return "message";
    }
    if (dynamic_cast<CAboutDlg*>(&dialog) != nullptr) {
        return "about";
    }
    if (dynamic_cast<CPortConfigDlg*>(&dialog) != nullptr) {
        return "configuration";
    }
    return "other";
}

}  // namespace

int ScriptedDialogs::RunModal(QDialog& dialog) {
    Seen entry;
    entry.kind = KindOf(dialog);
    entry.title = dialog.windowTitle();
    entry.owner = dialog.parentWidget();
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        entry.text = box->text();
        entry.icon = box->icon();
        entry.buttons = box->standardButtons();
        entry.textFormat = box->textFormat();
    }
    seen.push_back(entry);
    if (handlers.empty()) {
        dialog.reject();
        return dialog.result();
    }
    const Handler handler = std::move(handlers.front());
    handlers.pop_front();
    return handler(dialog);
}

QString ScriptedDialogs::ChooseExistingFile(QWidget&, const QStringList& nameFilters) {
    lastFilters = nameFilters;
    if (files.empty()) {
        ADD_FAILURE() << "the file dialog was opened with no answer queued";
        return {};
    }
    QString path = files.front();
    files.pop_front();
    return path;
}

}  // namespace vantrel::test
