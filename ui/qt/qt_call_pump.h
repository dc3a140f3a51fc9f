#pragma once

#include <QObject>
#include <QTimer>

#include "platform/ui_thread_call.h"

namespace vantrel {

// UiThreadCalls whose queued calls and timers run from the Qt event loop of
// the thread that made it, modal loops included. Make it on the GUI thread.
class QtCallPump : public QObject {
    Q_OBJECT

  public:
    QtCallPump();
    UiThreadCalls& Calls() { return m_calls; }

  private:
    Q_INVOKABLE void RunPending();

    // One Qt timer stands for the calls' earliest timer.
    QTimer m_nextTimer;
    // Woken from any thread. A call by name leaves building and posting the
    // event to Qt alone, so nothing of ours crosses threads outside the
    // call queue's own lock.
    UiThreadCalls m_calls{
        [this] { QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection); }};
};

}  // namespace vantrel
