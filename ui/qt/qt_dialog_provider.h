#pragma once

#include "ui/qt/dialog_provider.h"

namespace vantrel {

// Runs the dialogs for the operator: modal loops and the desktop's own
// file-open dialog.
class QtDialogProvider final : public DialogProvider {
  public:
    int RunModal(QDialog& dialog) override;
    QString ChooseExistingFile(QWidget& owner, const QStringList& nameFilters) override;
};

}  // namespace vantrel
