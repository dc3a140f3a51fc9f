#pragma once

#include <string>

namespace vantrel {

enum class LossReason {
    kHangUp,     // the device hung up, was unplugged, or the far end of a pty closed
    kReadError,  // reading failed for another reason
};

// Why an open port stopped working on its own.
struct PortLoss {
    int portNumber = 0;
    std::string device;
    LossReason reason = LossReason::kHangUp;
    int error = 0;  // errno of the failing read, 0 for a hang-up
};

// One log line for the operator: which port, what happened, what to do.
std::string DescribePortLoss(const PortLoss& loss);

}  // namespace vantrel
