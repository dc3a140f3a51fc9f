#include "ui/qt/file_filters.h"

namespace vantrel {

QStringList NameFilters(std::span<const FileFilter> filters) {
    QStringList result;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns) {
            patterns << QString::fromStdString(pattern);
        }
        result << QStringLiteral("%1 (%2)").arg(QString::fromStdString(filter.description),
                                                patterns.join(u' '));
    }
    return result;
}

}  // namespace vantrel
