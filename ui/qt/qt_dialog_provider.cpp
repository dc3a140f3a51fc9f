#include "ui/qt/qt_dialog_provider.h"

#include <QFileDialog>

namespace vantrel {

int QtDialogProvider::RunModal(QDialog& dialog) {
    return dialog.exec();
}

QString QtDialogProvider::ChooseExistingFile(QWidget& owner, const QStringList& nameFilters) {
    // The list shows each filter's description only ("Hex File(*.hex;*.bin)").
    return QFileDialog::getOpenFileName(&owner, QString(), QString(), nameFilters.join(u";;"),
                                        nullptr, QFileDialog::HideNameFilterDetails);
}

}  // namespace vantrel
