#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "records/unit_record.h"

namespace vantrel {

// How a line counts an ended unit. One that an operator, a stop signal or
// a graceful end of the shift cancelled is stopped: neither done nor a
// failure of the box. A unit cancelled because it made no progress, or
// whose line was lost, failed.
enum class UnitCount { kDone, kFailed, kStopped };
UnitCount CountOf(UnitOutcome outcome);
const char* CountName(UnitCount count);  // "done", "failed", "stopped"

// Units done, failed and stopped, as a tile or a dashboard counts them.
struct UnitCounts {
    unsigned done = 0;
    unsigned failed = 0;
    unsigned stopped = 0;

    void Count(UnitOutcome outcome);
    // "done 3 · failed 1", with " · stopped 2" once any was stopped; `dot`
    // goes between them.
    std::string Text(const char* separator = " · ") const;
};

// What a line counts over a shift: units done, failed and stopped, the
// yield, the pace and the typical unit time.
class ShiftTally {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ShiftTally(Clock::time_point shiftStart) : m_shiftStart(shiftStart) {}

    void Count(const UnitRecord& unit);

    const UnitCounts& Counts() const { return m_counts; }
    // Per cent of the units ended that were done, stopped ones left out;
    // nothing before the first done or failed.
    std::optional<double> YieldPercent() const;
    // Units ended per hour since the shift began.
    double UnitsPerHour(Clock::time_point now) const;
    // The median time from a unit's start to its end; nothing before the first.
    std::optional<double> MedianSeconds() const;

  private:
    Clock::time_point m_shiftStart;
    UnitCounts m_counts;
    std::vector<double> m_seconds;
};

}  // namespace vantrel
