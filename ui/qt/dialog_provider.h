#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace vantrel {

// Where the window's modal dialogs run: the message boxes, the About box,
// the port configuration dialog and the file-open dialog. The desktop runs
// them for the operator; tests answer them from a script, so that no modal
// loop is ever left waiting.
class DialogProvider {
  public:
    // Runs a dialog that the window has built modally; its result code.
    virtual int RunModal(QDialog& dialog) = 0;
    // The file-open dialog for one existing file, owned by `owner`, with Qt
    // name filters ("Text (*.txt)"): the chosen path, or "" when cancelled.
    virtual QString ChooseExistingFile(QWidget& owner, const QStringList& nameFilters) = 0;

  protected:
    ~DialogProvider() = default;
};

}  // namespace vantrel
