#include "ui/qt/updater_app.h"

#include "ui/qt/application_icon.h"
#include "ui/qt/updater_window.h"

namespace vantrel {

CUpdaterApp::CUpdaterApp(int& argc, char** argv) : QApplication(argc, argv) {
    setWindowIcon(ApplicationIcon());
    // Lets the desktop match the window to vantrel.desktop and its icon.
    setDesktopFileName(QStringLiteral("vantrel"));
}

int CUpdaterApp::InitInstance() {
    UpdaterWindow window(m_dialogs);
    return window.Run();
}

}  // namespace vantrel
