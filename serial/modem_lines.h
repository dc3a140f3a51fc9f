#pragma once

namespace vantrel {

// Raises DTR and RTS: the box sees a live line while the port is open.
void RaiseModemLines(int device);

// Drops DTR, then RTS, as closing the port has always done.
void DropModemLines(int device);

// Lines a device lacks (pseudo-terminals have none) are left alone.

}  // namespace vantrel
