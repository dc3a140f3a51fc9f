#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "records/unit_record.h"

namespace vantrel {

// What a line counts over a shift: units done and failed, the yield, the
// pace and the typical unit time.
class ShiftTally {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ShiftTally(Clock::time_point shiftStart) : m_shiftStart(shiftStart) {}

    void Count(const UnitRecord& unit);

    unsigned Done() const { return m_done; }
    unsigned Failed() const { return m_failed; }
    // Per cent of the units ended that were done; nothing before the first.
    std::optional<double> YieldPercent() const;
    // Units ended per hour since the shift began.
    double UnitsPerHour(Clock::time_point now) const;
    // The median time from a unit's start to its end; nothing before the first.
    std::optional<double> MedianSeconds() const;

  private:
    Clock::time_point m_shiftStart;
    unsigned m_done = 0;
    unsigned m_failed = 0;
    std::vector<double> m_seconds;
};

}  // namespace vantrel
