#pragma once

#include <QStringList>
#include <span>

#include "ui/updater_view.h"

namespace vantrel {

// The file dialog's type list in Qt's form, "<description> (<patterns>)",
// the patterns separated by blanks.
QStringList NameFilters(std::span<const FileFilter> filters);

}  // namespace vantrel
