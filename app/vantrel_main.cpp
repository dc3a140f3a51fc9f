// vantrel: the desktop tool. The application object runs the main window
// modally; the program ends with it.
#include "ui/qt/updater_app.h"

int main(int argc, char** argv) {
    vantrel::CUpdaterApp app(argc, argv);
    return app.InitInstance();
}
