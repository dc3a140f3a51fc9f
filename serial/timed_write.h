#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

enum class WriteOutcome {
    kComplete,
    kTimedOut,     // the line did not take everything in time
    kStopped,      // the stop signal was raised
    kDeviceError,  // the device failed the write (I/O error, hang-up)
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::kComplete;
    std::size_t written = 0;
    int error = 0;  // kDeviceError: errno
};

// Writes all of `data` to a non-blocking device within `limit` in all,
// waiting for room in the driver's queue between partial writes.
WriteResult WriteWithin(int device, int stop, std::span<const std::uint8_t> data,
                        std::chrono::milliseconds limit);

// Waits until the driver has sent what was written, at most `limit`; true
// when nothing is left to send. A pseudo-terminal hands its output to the
// far end at once and always counts as drained.
bool WaitForOutputDrained(int device, std::chrono::milliseconds limit);

}  // namespace vantrel
