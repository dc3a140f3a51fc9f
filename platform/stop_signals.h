#pragma once

#include <functional>
#include <thread>

#include "platform/stop_escalation.h"
#include "platform/ui_thread_call.h"
#include "platform/unique_fd.h"

namespace vantrel {

// SIGINT, SIGTERM and SIGHUP (a logout, a shutdown, `systemctl stop`, a
// closed terminal) turned into calls on the UI thread, stepped up by a
// StopEscalation. The handler only writes the signal's number into a pipe;
// a thread of its own reads it, so nothing but that write runs inside the
// handler. One object at a time in a process; the dispositions found at
// construction come back at destruction.
class StopSignals {
  public:
    struct Handlers {
        // On the UI thread, through `ui`: kFinishUnderWay or kCancelUnderWay.
        std::function<void(StopStep step)> onStep;
        // On the signal thread, since the UI thread may be what is stuck.
        // Expected to end the process; when it returns, the signal that
        // asked for it is ignored.
        std::function<void()> onEndNow;
    };

    StopSignals(UiThreadCalls& ui, bool interruptFinishesFirst, Handlers handlers);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    void Relay();

    UiThreadCalls& m_ui;
    StopEscalation m_escalation;
    const Handlers m_handlers;
    UniqueFd m_readEnd;
    UniqueFd m_writeEnd;
    UniqueFd m_stop;
    // Declared after the pipe and before the thread: the thread posts through it.
    CallGate m_gate;
    std::thread m_thread;
};

}  // namespace vantrel
