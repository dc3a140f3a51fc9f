#pragma once

#include <cstdint>
#include <span>

#include "serial/port_loss.h"

namespace vantrel {

// What a port tells its owner (the main window). Every call runs on the UI
// thread.
class CommOwner {
  public:
    virtual ~CommOwner() = default;

    // 1 to 2048 received bytes, in arrival order, valid only during the call.
    // The reader waits until the handler returns, so one chunk is consumed
    // before the next is read; meanwhile bytes collect in the driver.
    // The handler must not close or reopen this port: closing waits for the
    // reader, which waits for the handler. Post such work to run after it.
    virtual void OnCommData(std::span<const std::uint8_t> chunk) = 0;

    // The device went away while open (unplugged, hung up, persistent I/O
    // error). The port counts as not connected from then on; its reader has
    // ended. The reader does not wait for this handler, which may close or
    // reopen the port.
    virtual void OnCommLost(const PortLoss& loss) = 0;

    // A write failed with a device error (not merely a timeout). The writing
    // thread waits until the handler returns.
    virtual void OnCommWriteError() = 0;
};

}  // namespace vantrel
