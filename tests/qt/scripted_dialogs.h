#pragma once

#include <QMessageBox>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt/dialog_provider.h"

namespace vantrel::test {

// Answers the window's dialogs from a script, so no modal loop ever waits
// for an operator: each modal run goes to the next queued handler (with none
// queued the dialog is rejected), the file dialog takes the next queued path
// ("" cancels; none queued fails the test). Everything asked is recorded.
class ScriptedDialogs : public DialogProvider {
  public:
    using Handler = std::function<int(QDialog& dialog)>;

    struct Seen {
        std::string kind;  // "message", "about", "configuration" or "other"
        QString title;
        QWidget* owner = nullptr;
        // Message boxes only.
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        Qt::TextFormat textFormat = Qt::AutoText;
    };

    int RunModal(QDialog& dialog) override;
    QString ChooseExistingFile(QWidget& owner, const QStringList& nameFilters) override;

    std::deque<Handler> handlers;
    std::deque<QString> files;
    std::vector<Seen> seen;
    QStringList lastFilters;
};

}  // namespace vantrel::test
