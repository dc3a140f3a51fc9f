#include "ui/qt/qt_call_pump.h"

namespace vantrel {

QtCallPump::QtCallPump() = default;

void QtCallPump::RunPending() {
    m_calls.RunPending();
}

}  // namespace vantrel
