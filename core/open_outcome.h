#pragma once

#include <string>

#include "core/port_core.h"

namespace vantrel {

// The log lines that tell how the core's last open went: with `identity`,
// "PORT 1 is /dev/ttyUSB0: ..." first (for PORT 1 to 4); then why it
// failed, or what a slow USB adapter costs when it kept a latency timer
// above 1 ms through the open. Empty when there is nothing to tell.
std::string OpenOutcomeLog(const PortCore& core, bool identity);

}  // namespace vantrel
