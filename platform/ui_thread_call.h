#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

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
// A Qt window calls RunPending() from a queued event whenever `wake` fires;
// a terminal front end or a test loops on WaitAndRunPending().
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
    // call, then runs what is queued. False when nothing came.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }

  private:
    friend class CallGate;

    enum class CallState { kQueued, kRunning, kDone, kAborted };

    struct Entry {
        CallGate* gate;
        const std::function<void()>* waitedFn;  // Call: the caller's fn, alive while it waits
        CallState* state;                       // Call: where the caller watches its call
        std::function<void()> postedFn;         // Post: owned copy
    };

    void Enqueue(Entry entry);
    void CloseGate(CallGate& gate);
    void OpenGate(CallGate& gate);
    void Finish(CallState* state);

    const std::thread::id m_uiThread;
    const std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_queued;    // the UI thread waits for work
    std::condition_variable m_finished;  // callers wait for their call
    std::deque<Entry> m_queue;
};

}  // namespace vantrel
