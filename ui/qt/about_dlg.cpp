#include "ui/qt/about_dlg.h"

#include <QPushButton>

namespace vantrel {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_controls(BuildDialog(*this, AboutTemplate())) {
    connect(m_controls.Get<QPushButton>(kIdAboutOk), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vantrel
