#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "station/station_event.h"

namespace vantrel {

// Each slot's progress events, passed on at most once per interval and
// only when the progress differs from the slot's last one passed on. The
// latest one held back goes out once the interval has passed, so the last
// step before a pause is told too. Used on the station's thread only.
class ProgressThrottle {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressThrottle(Clock::duration interval) : m_interval(interval) {}

    // A kProgress event; it replaces the slot's one held.
    void Hold(StationEvent event);
    // The slot's unit ended: its end tells where it got to, and a progress
    // event after it would say the unit was still under way.
    void Drop(const std::string& label);
    // The events to pass on at `now`, each slot's at most once.
    std::vector<StationEvent> Due(Clock::time_point now);

  private:
    struct Slot {
        std::optional<StationEvent> held;
        std::optional<SlotProgress> lastPassed;
        std::optional<Clock::time_point> passedAt;
    };

    const Clock::duration m_interval;
    std::map<std::string, Slot> m_slots;  // by label
};

}  // namespace vantrel
