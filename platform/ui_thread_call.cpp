#include "platform/ui_thread_call.h"

#include <algorithm>
#include <utility>

namespace vantrel {

CallGate::CallGate(UiThreadCalls& calls) : m_calls(calls) {}

// Queued posts point at the gate; closing drops them before it goes.
CallGate::~CallGate() {
    Close();
}

void CallGate::Close() {
    m_calls.CloseGate(*this);
}

void CallGate::Open() {
    m_calls.OpenGate(*this);
}

UiThreadCalls::UiThreadCalls(std::function<void()> wake)
    : m_uiThread(std::this_thread::get_id()), m_wake(std::move(wake)) {}

bool UiThreadCalls::Call(CallGate& gate, const std::function<void()>& fn) {
    if (IsUiThread()) {
        if (!gate.IsOpen()) {
            return false;
        }
        fn();
        return true;
    }
    std::atomic<CallState> state{CallState::kQueued};
    {
        std::unique_lock lock(m_mutex);
        if (!gate.m_open.load()) {
            return false;
        }
        m_queue.push_back(Entry{&gate, &fn, &state, {}});
    }
    m_queued.notify_one();
    if (m_wake) {
        m_wake();
    }
    for (;;) {
        const std::uint32_t ended = m_callsEnded.load(std::memory_order_acquire);
        const CallState now = state.load(std::memory_order_acquire);
        if (now == CallState::kDone || now == CallState::kAborted) {
            return now == CallState::kDone;
        }
        m_callsEnded.wait(ended, std::memory_order_acquire);
    }
}

void UiThreadCalls::Post(CallGate& gate, std::function<void()> fn) {
    {
        std::unique_lock lock(m_mutex);
        if (!gate.m_open.load()) {
            return;
        }
        m_queue.push_back(Entry{&gate, nullptr, nullptr, std::move(fn)});
    }
    m_queued.notify_one();
    if (m_wake) {
        m_wake();
    }
}

void UiThreadCalls::RunPending() {
    {
        std::unique_lock lock(m_mutex);
        RunQueued(lock);
    }
    RunDueTimers();
}

void UiThreadCalls::RunQueued(std::unique_lock<std::mutex>& lock) {
    for (std::size_t round = m_queue.size(); round > 0 && !m_queue.empty(); --round) {
        Entry entry = std::move(m_queue.front());
        m_queue.pop_front();
        if (entry.state != nullptr) {
            entry.state->store(CallState::kRunning, std::memory_order_relaxed);
        }
        lock.unlock();
        try {
            entry.waitedFn != nullptr ? (*entry.waitedFn)() : entry.postedFn();
        } catch (...) {
            // A caller must not wait forever for a call that threw.
            Finish(entry.state, CallState::kDone);
            throw;
        }
        Finish(entry.state, CallState::kDone);
        lock.lock();
    }
}

bool UiThreadCalls::WaitAndRunPending(std::chrono::milliseconds timeout) {
    TimePoint until = std::chrono::steady_clock::now() + timeout;
    if (const std::optional<TimePoint> timer = NextTimer()) {
        until = std::min(until, *timer);
    }
    bool ran = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_queued.wait_until(lock, until, [&] { return !m_queue.empty(); })) {
            RunQueued(lock);
            ran = true;
        }
    }
    return RunDueTimers() || ran;
}

UiThreadCalls::TimerId UiThreadCalls::StartTimer(TimePoint deadline, std::function<void()> fn) {
    const TimerId id = ++m_lastTimer;
    m_timers.push_back(Timer{id, deadline, std::move(fn)});
    if (m_wake) {
        m_wake();
    }
    return id;
}

void UiThreadCalls::CancelTimer(TimerId id) {
    std::erase_if(m_timers, [id](const Timer& timer) { return timer.id == id; });
}

std::optional<UiThreadCalls::TimePoint> UiThreadCalls::NextTimer() const {
    const auto earliest =
        std::min_element(m_timers.begin(), m_timers.end(),
                         [](const Timer& a, const Timer& b) { return a.deadline < b.deadline; });
    return earliest == m_timers.end() ? std::nullopt : std::optional(earliest->deadline);
}

bool UiThreadCalls::RunDueTimers() {
    // A timer's function may start or cancel timers: each due one is taken
    // out before it runs, and those it starts wait for the next round.
    const TimePoint now = std::chrono::steady_clock::now();
    std::vector<TimerId> due;
    for (const Timer& timer : m_timers) {
        if (timer.deadline <= now) {
            due.push_back(timer.id);
        }
    }
    for (const TimerId id : due) {
        const auto found = std::find_if(m_timers.begin(), m_timers.end(),
                                        [id](const Timer& timer) { return timer.id == id; });
        if (found == m_timers.end()) {
            continue;  // cancelled by one that ran before it
        }
        const std::function<void()> fn = std::move(found->fn);
        m_timers.erase(found);
        fn();
    }
    return !due.empty();
}

void UiThreadCalls::CloseGate(CallGate& gate) {
    std::lock_guard lock(m_mutex);
    gate.m_open.store(false);
    std::erase_if(m_queue, [&](const Entry& entry) {
        if (entry.gate != &gate) {
            return false;
        }
        Finish(entry.state, CallState::kAborted);
        return true;
    });
}

void UiThreadCalls::OpenGate(CallGate& gate) {
    std::lock_guard lock(m_mutex);
    gate.m_open.store(true);
}

void UiThreadCalls::Finish(std::atomic<CallState>* state, CallState how) {
    if (state == nullptr) {
        return;
    }
    // The caller may return, and its state go, as soon as it sees `how`:
    // only the calls' own counter is touched after.
    state->store(how, std::memory_order_release);
    m_callsEnded.fetch_add(1, std::memory_order_release);
    m_callsEnded.notify_all();
}

}  // namespace vantrel
