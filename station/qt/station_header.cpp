#include "station/qt/station_header.h"

#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>
#include <cmath>

#include "station/slot_face.h"
#include "ui/qt/widget_text.h"

namespace vantrel {
namespace {

QString ImageLine(const StationImage& image) {
    return QStringLiteral("%1 · %2 · SHA-256 %3… · %4")
        .arg(QFileInfo(QString::fromStdString(image.path)).fileName(),
             QString::fromStdString(image.kind), QString::fromStdString(image.sha256.substr(0, 12)),
             image.pinned ? QStringLiteral("pinned") : QStringLiteral("not pinned"));
}

QString PeopleLine(const UnitLabels& labels) {
    auto orNone = [](const std::string& text) {
        return text.empty() ? QStringLiteral("—") : QString::fromStdString(text);
    };
    return QStringLiteral("Station %1 · operator %2 · work order %3")
        .arg(orNone(labels.stationName), orNone(labels.operatorName), orNone(labels.workOrder));
}

}  // namespace

StationHeader::StationHeader(const StationImage& image, const UnitLabels& labels, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* imageLabel = NewPlainLabel(ImageLine(image), this);
    imageLabel->setObjectName(QStringLiteral("image"));
    imageLabel->setToolTip(
        PlainToolTip(QString::fromStdString(image.path + "\nSHA-256 " + image.sha256)));
    QFont big = imageLabel->font();
    big.setPointSizeF(big.pointSizeF() + 4);
    big.setBold(true);
    imageLabel->setFont(big);
    layout->addWidget(imageLabel);
    auto* people = NewPlainLabel(PeopleLine(labels), this);
    people->setObjectName(QStringLiteral("people"));
    layout->addWidget(people);
    m_totals = NewPlainLabel(QString(), this);
    m_totals->setObjectName(QStringLiteral("totals"));
    QFont totals = m_totals->font();
    totals.setPointSizeF(totals.pointSizeF() + 2);
    m_totals->setFont(totals);
    layout->addWidget(m_totals);
    m_banner = NewPlainLabel(QString(), this);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->setWordWrap(true);
    m_banner->setMargin(6);
    m_banner->setStyleSheet(QStringLiteral("background:#c62828; color:white; font-weight:bold;"));
    m_banner->hide();
    layout->addWidget(m_banner);
}

void StationHeader::ShowTotals(const ShiftTally& tally, ShiftTally::Clock::time_point now) {
    const auto yield = tally.YieldPercent();
    const auto median = tally.MedianSeconds();
    m_totals->setText(
        QStringLiteral("%1 · yield %2 · %3 units/h · median unit %4")
            .arg(QString::fromStdString(tally.Counts().Text()))
            .arg(yield ? QStringLiteral("%1 %").arg(std::floor(*yield * 10) / 10, 0, 'f', 1)
                       : QStringLiteral("—"))
            .arg(tally.UnitsPerHour(now), 0, 'f', 1)
            .arg(median ? QString::fromStdString(ClockText(*median)) : QStringLiteral("—")));
}

void StationHeader::ShowBanner(const std::string& text) {
    m_banner->setText(QString::fromStdString(text));
    m_banner->setVisible(!text.empty());
}

}  // namespace vantrel
