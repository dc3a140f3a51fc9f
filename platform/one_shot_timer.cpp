#include "platform/one_shot_timer.h"

#include <utility>

namespace vantrel {

OneShotTimer::OneShotTimer(UiThreadCalls& ui, std::function<void()> callback)
    : m_ui(ui), m_callback(std::move(callback)), m_gate(ui) {}

// The thread goes before the gate, which then drops an expiry still queued.
OneShotTimer::~OneShotTimer() {
    Stop();
}

void OneShotTimer::Start(std::chrono::milliseconds delay) {
    bool threadCounts = false;
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_deadline = std::chrono::steady_clock::now() + delay;
        threadCounts = m_counting;
        m_counting = true;
    }
    m_pending = true;
    if (threadCounts) {
        m_changed.notify_one();  // it takes the new deadline
        return;
    }
    if (m_thread.joinable()) {
        m_thread.join();  // the thread of a count that expired, ending or ended
    }
    m_thread = std::thread(&OneShotTimer::Count, this);
}

void OneShotTimer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_counting = false;
    }
    m_pending = false;
    m_changed.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void OneShotTimer::Count() {
    std::unique_lock lock(m_mutex);
    while (m_counting) {
        const std::uint64_t generation = m_generation;
        const std::chrono::steady_clock::time_point deadline = m_deadline;
        if (m_changed.wait_until(lock, deadline, [&] { return m_generation != generation; })) {
            continue;  // started again or stopped
        }
        m_counting = false;
        lock.unlock();
        m_ui.Post(m_gate, [this, generation] { Expire(generation); });
        return;
    }
}

void OneShotTimer::Expire(std::uint64_t generation) {
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation) {
            return;  // started again or stopped after this expiry was posted
        }
    }
    m_pending = false;
    m_callback();
}

}  // namespace vantrel
