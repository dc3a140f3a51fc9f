#include "station/qt/shift_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

#include "ui/qt/widget_text.h"

namespace vantrel {
namespace {

QLineEdit* Field(QFormLayout* form, const QString& caption, const char* name,
                 const std::string& value) {
    auto* field = new QLineEdit(QString::fromStdString(value));
    field->setObjectName(QString::fromLatin1(name));
    form->addRow(caption, field);
    return field;
}

// What is wrong with an asked label, or an empty text.
QString Problem(const QLineEdit* field, const QString& caption) {
    if (field == nullptr) {
        return {};
    }
    const std::string value = field->text().trimmed().toStdString();
    if (value.empty()) {
        return caption + QStringLiteral(" is needed for every record of the shift.");
    }
    const std::string wrong = CheckLabelText(value, kMaxLabelCharacters);
    return wrong.empty() ? QString()
                         : caption + QStringLiteral(": ") + QString::fromStdString(wrong);
}

}  // namespace

ShiftDialog::ShiftDialog(ShiftQuestions questions, const UnitLabels& labels, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vantrel Station: start of the shift"));
    auto* form = new QFormLayout(this);
    if (questions.operatorName) {
        m_operator = Field(form, QStringLiteral("Operator"), "operator", labels.operatorName);
    }
    if (questions.workOrder) {
        m_workOrder = Field(form, QStringLiteral("Work order"), "workOrder", labels.workOrder);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ShiftDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ShiftDialog::reject);
}

UnitLabels ShiftDialog::Answered(UnitLabels labels) const {
    if (m_operator != nullptr) {
        labels.operatorName = m_operator->text().trimmed().toStdString();
    }
    if (m_workOrder != nullptr) {
        labels.workOrder = m_workOrder->text().trimmed().toStdString();
    }
    return labels;
}

void ShiftDialog::accept() {
    for (const QString& problem : {Problem(m_operator, QStringLiteral("Operator")),
                                   Problem(m_workOrder, QStringLiteral("Work order"))}) {
        if (!problem.isEmpty()) {
            ShowPlainMessage(QMessageBox::Warning, windowTitle(), problem, this);
            return;
        }
    }
    QDialog::accept();
}

}  // namespace vantrel
