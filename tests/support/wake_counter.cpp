#include "tests/support/wake_counter.h"

namespace vantrel::test {

void WakeCounter::Count() {
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
    }
    m_changed.notify_all();
}

int WakeCounter::Now() {
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool WakeCounter::WaitFor(int count, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return m_count >= count; });
}

}  // namespace vantrel::test
