// vantrel: the desktop tool. The application object runs the main window
// modally; the program ends with it.
#include "ui/qt/updater_app.h"
#include "ui/window_options.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so they need no display.
    if (const auto exit = vantrel::ParseWindowOptions(argc, argv)) {
        return vantrel::Report(*exit);
    }
    vantrel::CUpdaterApp app(argc, argv);
    return app.InitInstance();
}
