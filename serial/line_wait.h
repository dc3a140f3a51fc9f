#pragma once

namespace vantrel {

enum class LineWait {
    kReadable,  // bytes are queued (or a condition a read will tell)
    kHungUp,    // the device hung up or reports an error condition
    kStopped,   // the stop signal was raised
    kFailed,    // poll() itself failed; `error` tells why
};

struct LineWaitResult {
    LineWait what;
    int error = 0;
};

// Sleeps until the device has input, hangs up, or `stop` is raised; a raised
// stop wins over anything the device reports.
LineWaitResult WaitForLine(int device, int stop);

}  // namespace vantrel
