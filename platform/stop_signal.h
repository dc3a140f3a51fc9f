#pragma once

#include "platform/unique_fd.h"

namespace vantrel {

// An eventfd that wakes every poll() watching it once raised; it stays
// raised. Invalid when the system cannot make one (errno tells why).
UniqueFd CreateStopSignal();
// Any thread, any number of times.
void RaiseStopSignal(int signal);

}  // namespace vantrel
