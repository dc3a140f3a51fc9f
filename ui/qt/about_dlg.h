#pragma once

#include <QDialog>

#include "ui/qt/dialog_builder.h"

namespace vantrel {

// The About box: the application icon, "Vantrel version 1.0" and OK. OK and
// Escape close it.
class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent);

  private:
    DialogControls m_controls;
};

}  // namespace vantrel
