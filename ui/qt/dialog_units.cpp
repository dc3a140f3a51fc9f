#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace vantrel {
namespace {

constexpr int kLettersMeasured = 52;

// a * b / c rounded to the nearest integer, halves away from zero.
int ScaleRounded(int a, int b, int c) {
    const std::int64_t product = std::int64_t{a} * b;
    const std::int64_t half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(advance + kLettersMeasured / 2) / kLettersMeasured, metrics.height()};
}

QRect MapDialogRect(const DialogRect& rect, DialogBaseUnits base) {
    return {ScaleRounded(rect.x, base.x, 4), ScaleRounded(rect.y, base.y, 8),
            ScaleRounded(rect.width, base.x, 4), ScaleRounded(rect.height, base.y, 8)};
}

QSize MapDialogSize(int width, int height, DialogBaseUnits base) {
    return {ScaleRounded(width, base.x, 4), ScaleRounded(height, base.y, 8)};
}

}  // namespace vantrel
