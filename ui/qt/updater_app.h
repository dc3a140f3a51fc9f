#pragma once

#include <QApplication>

#include "ui/qt/qt_dialog_provider.h"

namespace vantrel {

// The application object: the desktop session's view of the program (its
// icon, its desktop entry) and the start-up that runs the main window.
class CUpdaterApp : public QApplication {
  public:
    // `argc` must outlive the object, as QApplication requires.
    CUpdaterApp(int& argc, char** argv);

    // Runs the main window modally and returns once it has closed and been
    // torn down: 0 however the operator closed it, and what a stop signal
    // left otherwise (UpdaterWindow::Run).
    int InitInstance();

  private:
    QtDialogProvider m_dialogs;
};

}  // namespace vantrel
