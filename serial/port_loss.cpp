#include "serial/port_loss.h"

#include <system_error>

#include "serial/device_name.h"

namespace vantrel {

std::string DescribePortLoss(const PortLoss& loss) {
    const std::string what =
        loss.reason == LossReason::kHangUp
            ? "the device hung up or was unplugged"
            : "reading failed (" + std::generic_category().message(loss.error) + ")";
    return DescribePort(loss.portNumber, loss.device) + ": connection lost: " + what +
           ". Check the cable and the device, then open the port again.";
}

}  // namespace vantrel
