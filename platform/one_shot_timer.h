#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "platform/ui_thread_call.h"

namespace vantrel {

// Runs a callback on the UI thread once a delay has passed since the timer
// was last started, the toolkit-free way of a window timer. It costs no
// thread: the UI thread's calls keep its deadline and run it when due.
//
// Threads: everything public belongs to the UI thread, the one that runs
// `ui`'s calls, which must outlive the timer.
class OneShotTimer {
  public:
    OneShotTimer(UiThreadCalls& ui, std::function<void()> callback);
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    // Counts `delay` from now, replacing a count still running.
    void Start(std::chrono::milliseconds delay);
    // Ends the count; the callback does not run until the next Start.
    void Stop();
    // From Start until the callback ran or Stop.
    bool Pending() const { return m_timer.has_value(); }

  private:
    UiThreadCalls& m_ui;
    const std::function<void()> m_callback;
    std::optional<UiThreadCalls::TimerId> m_timer;
};

}  // namespace vantrel
