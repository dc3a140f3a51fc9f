#include "station/shift_tally.h"

#include <algorithm>

namespace vantrel {

UnitCount CountOf(UnitOutcome outcome) {
    switch (outcome) {
        case UnitOutcome::kCompleted:
            return UnitCount::kDone;
        case UnitOutcome::kCancelled:
            return UnitCount::kStopped;
        default:
            return UnitCount::kFailed;
    }
}

const char* CountName(UnitCount count) {
    switch (count) {
        case UnitCount::kDone:
            return "done";
        case UnitCount::kStopped:
            return "stopped";
        case UnitCount::kFailed:
            break;
    }
    return "failed";
}

void UnitCounts::Count(UnitOutcome outcome) {
    switch (CountOf(outcome)) {
        case UnitCount::kDone:
            ++done;
            break;
        case UnitCount::kFailed:
            ++failed;
            break;
        case UnitCount::kStopped:
            ++stopped;
            break;
    }
}

std::string UnitCounts::Text(const char* separator) const {
    std::string text =
        "done " + std::to_string(done) + separator + "failed " + std::to_string(failed);
    if (stopped > 0) {
        text += separator + std::string("stopped ") + std::to_string(stopped);
    }
    return text;
}

void ShiftTally::Count(const UnitRecord& unit) {
    m_counts.Count(unit.outcome);
    // A clock set back during the unit gives no time rather than a negative one.
    m_seconds.push_back(
        std::max(0.0, std::chrono::duration<double>(unit.end - unit.start).count()));
}

std::optional<double> ShiftTally::YieldPercent() const {
    const unsigned ended = m_counts.done + m_counts.failed;
    if (ended == 0) {
        return std::nullopt;
    }
    return 100.0 * m_counts.done / ended;
}

double ShiftTally::UnitsPerHour(Clock::time_point now) const {
    const double hours =
        std::chrono::duration<double, std::ratio<3600>>(now - m_shiftStart).count();
    return hours > 0 ? (m_counts.done + m_counts.failed + m_counts.stopped) / hours : 0;
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
