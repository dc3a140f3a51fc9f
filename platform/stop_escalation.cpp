#include "platform/stop_escalation.h"

#include <csignal>

namespace vantrel {

StopStep StopEscalation::Next(int signal, Clock::time_point now) {
    if (m_cancelledAt) {
        return now - *m_cancelledAt < kGrace ? StopStep::kIgnore : StopStep::kEndNow;
    }
    if (signal == SIGINT && m_interruptFinishesFirst && !m_finishing) {
        m_finishing = true;
        return StopStep::kFinishUnderWay;
    }
    m_cancelledAt = now;
    return StopStep::kCancelUnderWay;
}

}  // namespace vantrel
