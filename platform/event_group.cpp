#include "platform/event_group.h"

#include <bit>
#include <stdexcept>

namespace vantrel {

EventGroup::EventGroup(std::size_t count) : m_count(count) {
    if (count == 0 || count > kMaxEvents) {
        throw std::out_of_range("an event group holds 1 to 32 events");
    }
}

std::uint32_t EventGroup::Bit(std::size_t index) const {
    if (index >= m_count) {
        throw std::out_of_range("no such event in the group");
    }
    return std::uint32_t{1} << index;
}

void EventGroup::Set(std::size_t index) {
    m_set.fetch_or(Bit(index), std::memory_order_release);
    m_set.notify_all();
}

void EventGroup::Reset(std::size_t index) {
    m_set.fetch_and(~Bit(index), std::memory_order_acq_rel);
}

bool EventGroup::IsSet(std::size_t index) const {
    return (m_set.load(std::memory_order_acquire) & Bit(index)) != 0;
}

std::size_t EventGroup::WaitAny() const {
    for (;;) {
        const std::uint32_t set = m_set.load(std::memory_order_acquire);
        if (set != 0) {
            return static_cast<std::size_t>(std::countr_zero(set));
        }
        m_set.wait(0, std::memory_order_acquire);
    }
}

}  // namespace vantrel
