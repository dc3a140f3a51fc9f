#pragma once

#include "platform/unique_fd.h"

namespace vantrel {

// Blocks SIGINT and SIGTERM for the calling thread and returns a descriptor
// that becomes readable when one of them arrives, so a poll loop can end
// cleanly without a signal handler. Call before any other thread starts, so
// that they inherit the mask. Invalid when the system refuses.
UniqueFd BlockStopSignals();

}  // namespace vantrel
