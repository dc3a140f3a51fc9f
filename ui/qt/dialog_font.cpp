#include "ui/qt/dialog_font.h"

#include <QFontDatabase>

namespace vantrel {
namespace {

constexpr int kDialogPointSize = 9;

}  // namespace

QString ChooseDialogFamily(const QStringList& installed) {
    static const char* const kPreferred[] = {"굴림", "Gulim"};
    for (const char* family : kPreferred) {
        const QString name = QString::fromUtf8(family);
        if (installed.contains(name, Qt::CaseInsensitive)) {
            return name;
        }
    }
    return {};
}

QFont DialogFont() {
    const QString family = ChooseDialogFamily(QFontDatabase::families());
    // The dialog units follow from whichever face this is.
    QFont font =
        family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont(family);
    font.setPointSize(kDialogPointSize);
    return font;
}

}  // namespace vantrel
