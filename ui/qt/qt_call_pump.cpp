#include "ui/qt/qt_call_pump.h"

#include <algorithm>

namespace vantrel {

QtCallPump::QtCallPump() {
    m_nextTimer.setSingleShot(true);
    m_nextTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_nextTimer, &QTimer::timeout, this, &QtCallPump::RunPending);
}

void QtCallPump::RunPending() {
    m_calls.RunPending();
    const auto next = m_calls.NextTimer();
    if (!next) {
        m_nextTimer.stop();
        return;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*next - std::chrono::steady_clock::now());
    m_nextTimer.start(static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1 << 30)));
}

}  // namespace vantrel
