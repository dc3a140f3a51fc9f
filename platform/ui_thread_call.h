#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel {

class UiThreadCalls;

// Closing a gate aborts every call waiting to pass it and refuses new ones,
// so a UI thread that closes a port never deadlocks against a reader blocked
// in a delivery. A call already running on the UI thread is not interrupted:
// its caller still waits for the end of it.
//
// A gate belongs to one UiThreadCalls, which must outlive it. Any thread may
// open or close it.
class CallGate {
  public:
    explicit CallGate(UiThreadCalls& calls);
    ~CallGate();
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    void Close();
    void Open();
    bool IsOpen() const { return m_open.load(); }

  private:
    friend class UiThreadCalls;
    UiThreadCalls& m_calls;
    std::atomic<bool> m_open{true};  // written only under the calls' mutex
};

// Runs functions on the UI thread on behalf of other threads, the way a
// window message sent across threads does. Constructed on the UI thread.
//
// A Qt window calls RunPending() from a queued event whenever `wake` fires,
// and again when NextTimer() is due; a terminal front end or a test loops on
// WaitAndRunPending(), which wakes for timers by itself. Timers cost no
// thread: the UI thread's own wait ends at the next one.
class UiThreadCalls {
  public:
    // `wake` is called from the queuing thread each time a call is queued.
    explicit UiThreadCalls(std::function<void()> wake = {});
    UiThreadCalls(const UiThreadCalls&) = delete;
    UiThreadCalls& operator=(const UiThreadCalls&) = delete;

    // Runs fn on the UI thread and returns true once it has run; on the UI
    // thread itself fn runs at once. Returns false without running fn when
    // the gate is closed before fn starts, also while the caller waits.
    bool Call(CallGate& gate, const std::function<void()>& fn);

    // Queues fn for the UI thread and returns at once. fn is dropped if the
    // gate closes before it starts. For news that nobody needs to wait for.
    void Post(CallGate& gate, std::function<void()> fn);

    // UI thread: runs, in order, the calls queued before it started. Calls
    // queued meanwhile wait for the next round, so a busy sender cannot
    // starve the toolkit's event loop.
    void RunPending();

    // UI thread loop without a toolkit: waits up to `timeout` for a queued
    // call or a timer that falls due, then runs them. False when nothing came.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

    using TimePoint = std::chrono::steady_clock::time_point;
    using TimerId = std::uint64_t;
    // UI thread: runs `fn` on the UI thread once `deadline` has passed,
    // after the calls queued by then. Calls `wake`, so that a toolkit's loop
    // looks at NextTimer() again.
    TimerId StartTimer(TimePoint deadline, std::function<void()> fn);
    // UI thread: the timer does not run, if it has not yet.
    void CancelTimer(TimerId id);
    // UI thread: when the earliest timer falls due; nothing while none is set.
    std::optional<TimePoint> NextTimer() const;

    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }

  private:
    friend class CallGate;

    enum class CallState { kQueued, kRunning, kDone, kAborted };

    struct Entry {
        CallGate* gate;
        const std::function<void()>* waitedFn;  // Call: the caller's fn, alive while it waits
        std::atomic<CallState>* state;          // Call: where the caller watches its call
        std::function<void()> postedFn;         // Post: owned copy
    };

    struct Timer {
        TimerId id;
        TimePoint deadline;
        std::function<void()> fn;
    };

    // Runs the calls queued before it started; the caller holds `lock`,
    // which is released while each runs.
    void RunQueued(std::unique_lock<std::mutex>& lock);
    void CloseGate(CallGate& gate);
    void OpenGate(CallGate& gate);
    // Tells a waiting caller that its call ended (kDone or kAborted).
    void Finish(std::atomic<CallState>* state, CallState how);
    // Runs the timers due now; true when any ran.
    bool RunDueTimers();

    const std::thread::id m_uiThread;
    const std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_queued;  // the UI thread waits for work
    std::deque<Entry> m_queue;
    // Raised whenever a call ends: callers wait on it, never on a lock, and
    // it outlives every caller's own state.
    std::atomic<std::uint32_t> m_callsEnded{0};

    // UI thread only.
    std::vector<Timer> m_timers;
    TimerId m_lastTimer = 0;
};

}  // namespace vantrel
