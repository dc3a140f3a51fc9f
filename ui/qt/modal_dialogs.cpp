#include "ui/qt/modal_dialogs.h"

#include <QApplication>
#include <QDialog>

namespace vantrel {

void CloseModalDialogs(const QWidget* keep) {
    QWidget* last = nullptr;
    // Hiding a dialog takes it off the modal stack at once; a widget that
    // stays on it (it refused to close) ends the loop rather than spinning.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == keep || modal == last) {
            break;
        }
        last = modal;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
}

}  // namespace vantrel
