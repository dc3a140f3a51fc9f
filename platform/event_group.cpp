#include "platform/event_group.h"

#include <algorithm>

namespace vantrel {

void EventGroup::Set(std::size_t index) {
    {
        std::lock_guard lock(m_mutex);
        m_set.at(index) = true;
    }
    m_changed.notify_all();
}

void EventGroup::Reset(std::size_t index) {
    std::lock_guard lock(m_mutex);
    m_set.at(index) = false;
}

bool EventGroup::IsSet(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    return m_set.at(index);
}

std::size_t EventGroup::WaitAny() const {
    std::unique_lock lock(m_mutex);
    std::vector<bool>::const_iterator first;
    m_changed.wait(lock, [&] {
        first = std::find(m_set.begin(), m_set.end(), true);
        return first != m_set.end();
    });
    return static_cast<std::size_t>(first - m_set.begin());
}

}  // namespace vantrel
