#include "platform/one_shot_timer.h"

#include <utility>

namespace vantrel {

OneShotTimer::OneShotTimer(UiThreadCalls& ui, std::function<void()> callback)
    : m_ui(ui), m_callback(std::move(callback)) {}

OneShotTimer::~OneShotTimer() {
    Stop();
}

void OneShotTimer::Start(std::chrono::milliseconds delay) {
    Stop();
    m_timer = m_ui.StartTimer(std::chrono::steady_clock::now() + delay, [this] {
        m_timer.reset();
        m_callback();
    });
}

void OneShotTimer::Stop() {
    if (m_timer) {
        m_ui.CancelTimer(*m_timer);
        m_timer.reset();
    }
}

}  // namespace vantrel
