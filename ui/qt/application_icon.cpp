#include "ui/qt/application_icon.h"

namespace vantrel {

QIcon ApplicationIcon() {
    return QIcon(QStringLiteral(":/vantrel/vantrel.svg"));
}

}  // namespace vantrel
