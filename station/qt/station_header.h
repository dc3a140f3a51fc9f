#pragma once

#include <QWidget>
#include <string>

#include "station/shift_tally.h"
#include "station/station_setup.h"

class QLabel;

namespace vantrel {

// The top of the station window: the shift's image (name, kind, the first
// twelve hex digits of its digest, whether it is pinned), who runs the
// shift for which order, the shift's totals, and a banner for what the
// operator must not miss.
class StationHeader : public QWidget {
    Q_OBJECT

  public:
    StationHeader(const StationImage& image, const UnitLabels& labels, QWidget* parent);

    void ShowTotals(const ShiftTally& tally, ShiftTally::Clock::time_point now);
    // The banner's text; empty hides it.
    void ShowBanner(const std::string& text);

  private:
    QLabel* m_totals;
    QLabel* m_banner;
};

}  // namespace vantrel
