#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui_thread_call.h"

namespace vantrel {

// Runs a callback on the UI thread once a delay has passed since the timer
// was last started, the toolkit-free way of a window timer. Each count runs
// on a thread of its own that ends when it expires and is joined by the
// next Start, by Stop or by the destructor. The expiry is posted, never
// waited for, so a UI thread that stops the timer never waits for itself.
//
// Threads: everything public belongs to the UI thread, the one that runs
// `ui`'s calls, which must outlive the timer.
class OneShotTimer {
  public:
    OneShotTimer(UiThreadCalls& ui, std::function<void()> callback);
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    // Counts `delay` from now, replacing a count still running; the expiry
    // of an earlier count that has not run yet never runs.
    void Start(std::chrono::milliseconds delay);
    // Ends the count and joins its thread; the callback does not run until
    // the next Start.
    void Stop();
    // From Start until the callback ran or Stop.
    bool Pending() const { return m_pending; }

  private:
    void Count();
    void Expire(std::uint64_t generation);

    UiThreadCalls& m_ui;
    const std::function<void()> m_callback;
    CallGate m_gate;
    bool m_pending = false;  // UI thread only

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Each Start and Stop begins a new generation, so a count or an expiry
    // already on its way can tell that it is out of date.
    std::uint64_t m_generation = 0;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_counting = false;
    std::thread m_thread;
};

}  // namespace vantrel
