#include "station/shift_tally.h"

#include <algorithm>

namespace vantrel {

void ShiftTally::Count(const UnitRecord& unit) {
    ++(unit.outcome == UnitOutcome::kCompleted ? m_done : m_failed);
    // A clock set back during the unit gives no time rather than a negative one.
    m_seconds.push_back(
        std::max(0.0, std::chrono::duration<double>(unit.end - unit.start).count()));
}

std::optional<double> ShiftTally::YieldPercent() const {
    const unsigned ended = m_done + m_failed;
    if (ended == 0) {
        return std::nullopt;
    }
    return 100.0 * m_done / ended;
}

double ShiftTally::UnitsPerHour(Clock::time_point now) const {
    const double hours =
        std::chrono::duration<double, std::ratio<3600>>(now - m_shiftStart).count();
    return hours > 0 ? (m_done + m_failed) / hours : 0;
}

std::optional<double> ShiftTally::MedianSeconds() const {
    if (m_seconds.empty()) {
        return std::nullopt;
    }
    std::vector<double> sorted = m_seconds;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

}  // namespace vantrel
