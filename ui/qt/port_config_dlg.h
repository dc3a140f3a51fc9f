#pragma once

#include <QDialog>

#include "ui/qt/dialog_builder.h"

namespace vantrel {

// The port configuration dialog: serial-line settings and event check boxes
// that come up with fixed defaults each time and that nothing reads. The
// port is always opened at 115200 baud, 8 data bits, no parity and one stop
// bit, whatever is chosen here. OK and Cancel close it; nothing is checked.
class CPortConfigDlg : public QDialog {
  public:
    explicit CPortConfigDlg(QWidget* parent);

  private:
    void ShowDefaults();

    DialogControls m_controls;
};

}  // namespace vantrel
