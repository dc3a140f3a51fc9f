#include "station/progress_throttle.h"

namespace vantrel {

void ProgressThrottle::Hold(StationEvent event) {
    m_slots[event.label].held = std::move(event);
}

void ProgressThrottle::Drop(const std::string& label) {
    const auto found = m_slots.find(label);
    if (found != m_slots.end()) {
        found->second.held.reset();
    }
}

std::vector<StationEvent> ProgressThrottle::Due(Clock::time_point now) {
    std::vector<StationEvent> due;
    for (auto& [label, slot] : m_slots) {
        if (!slot.held || (slot.passedAt && now - *slot.passedAt < m_interval)) {
            continue;
        }
        if (slot.held->progress != slot.lastPassed) {
            slot.lastPassed = slot.held->progress;
            slot.passedAt = now;
            due.push_back(std::move(*slot.held));
        }
        slot.held.reset();
    }
    return due;
}

}  // namespace vantrel
