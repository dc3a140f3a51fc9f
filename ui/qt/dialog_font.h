#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace vantrel {

// The face the dialogs ask for among the installed families: "굴림" (also
// listed by its English name), else an empty name, which stands for the
// desktop's default sans-serif face. Look-alike faces are not taken: their
// Latin letters differ from the ones the dialogs were drawn with.
QString ChooseDialogFamily(const QStringList& installed);

// The dialogs' 9-point font in the chosen face.
QFont DialogFont();

}  // namespace vantrel
