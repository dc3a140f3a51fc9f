#pragma once

#include <optional>

#include "serial/line_events.h"

// The serial facilities that only Linux's own headers describe
// (serial_struct, serial_icounter_struct, the pty device numbers). They live
// in this one file so the rest of the port code stays on POSIX termios, and
// so a port to another kernel knows the one place to replace.

namespace vantrel {

// The driver's counts of line events; nothing on drivers that keep none
// (pseudo-terminals).
std::optional<LineCounters> ReadLineCounters(int fd);

// Asks the driver to hand over received bytes at once: USB adapters
// otherwise hold a short answer back for several milliseconds. Drivers
// without the setting (pseudo-terminals) are left as they are.
void RequestLowLatency(int fd);

// Whether fd is the terminal end of a pseudo-terminal.
bool IsPseudoTerminal(int fd);

}  // namespace vantrel
