#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vantrel::test {

// Counts the wakes of a UiThreadCalls, one per call queued for the UI
// thread, so a test can tell that a thread waits for a call without running
// it. Must outlive the UiThreadCalls it counts for.
class WakeCounter {
  public:
    // The wake to give the UiThreadCalls.
    std::function<void()> Wake() {
        return [this] { Count(); };
    }

    // Any thread: one more wake.
    void Count();
    int Now();
    // True once `count` wakes have come, false when `limit` passed first.
    bool WaitFor(int count, std::chrono::milliseconds limit = std::chrono::seconds(5));

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

}  // namespace vantrel::test
