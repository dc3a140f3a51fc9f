#pragma once

#include <termios.h>

#include "serial/port_settings.h"

namespace vantrel {

// Why a line setup was refused; kNone when it was taken.
enum class SettingsFault {
    kNone,
    kBaudRate,            // not a rate the line offers
    kDataBits,            // outside 5 to 8
    kParity,              // above kParitySpace
    kStopBits,            // neither one nor two (one and a half: see below)
    kOneAndHalfStopBits,  // Linux serial drivers offer one or two only
    kDsrDtrFlow,          // termios has no DSR/DTR handshake
    kDriverRefused,       // tcsetattr failed
    kDriverChanged,       // the driver reported back something else
};

// Turns `tio` into a raw line with the given speed, character format and flow
// control: no echo, no translation, reads return at once with what is
// queued, modem status lines ignored. DSR/DTR handshake is refused instead of
// quietly running without it. Returns the first field the line cannot take;
// `tio` is then partly changed and must not be applied.
SettingsFault ConfigureTermios(const PortSettings& settings, termios& tio);

// Whether the line the driver reports back (`actual`) is the one asked for.
// A pseudo-terminal always carries 8-bit characters and drops the parity
// enable, so there the character size and parity enable are not compared.
bool DriverKeptSettings(const termios& wanted, const termios& actual, bool pseudoTerminal);

}  // namespace vantrel
