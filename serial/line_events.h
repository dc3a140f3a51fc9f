#pragma once

#include <cstdint>

namespace vantrel {

// Line events a reader wake-up can report, numbered as the window's original
// event mask was.
using LineEvents = std::uint32_t;
inline constexpr LineEvents kEventRxChar = 0x001;
inline constexpr LineEvents kEventCts = 0x008;
inline constexpr LineEvents kEventDsr = 0x010;
inline constexpr LineEvents kEventRlsd = 0x020;  // carrier detect changed
inline constexpr LineEvents kEventBreak = 0x040;
inline constexpr LineEvents kEventErr = 0x080;  // frame, parity or overrun error
inline constexpr LineEvents kEventRing = 0x100;

// The driver's running counts of modem-line changes and line conditions.
struct LineCounters {
    std::uint32_t cts = 0;
    std::uint32_t dsr = 0;
    std::uint32_t ring = 0;
    std::uint32_t carrier = 0;
    std::uint32_t breaks = 0;
    std::uint32_t frameErrors = 0;
    std::uint32_t overruns = 0;
    std::uint32_t parityErrors = 0;
    std::uint32_t bufferOverruns = 0;
};

// The events that happened between two readings of the counters.
LineEvents EventsBetween(const LineCounters& before, const LineCounters& after);

// A pass that saw a break, a CTS change, a line error, a ring or a carrier
// change reads nothing: the bytes stay queued and come with the next pass.
bool PassSkipsRead(LineEvents events);

}  // namespace vantrel
