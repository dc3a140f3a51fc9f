#pragma once

#include <QDialog>

#include "cli/unit_labels.h"
#include "station/shift_questions.h"

class QLineEdit;

namespace vantrel {

// Asks, at the start of a shift, who runs it and for which work order:
// each asked label must be given, as plain text a record can hold. Opens
// with what the settings or the command line gave.
class ShiftDialog : public QDialog {
    Q_OBJECT

  public:
    ShiftDialog(ShiftQuestions questions, const UnitLabels& labels, QWidget* parent);

    // The labels with what the operator typed.
    UnitLabels Answered(UnitLabels labels) const;

    void accept() override;

  private:
    QLineEdit* m_operator = nullptr;
    QLineEdit* m_workOrder = nullptr;
};

}  // namespace vantrel
