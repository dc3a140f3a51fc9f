#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace vantrel {

// Told the port's traffic exactly as it went: each write whole, before it
// goes to the device, and each chunk the reader handed over, before the
// receive stream reads it. The bytes are valid only during the call.
class PortTap {
  public:
    using Clock = std::chrono::steady_clock;

    // The session worker's thread; the worker waits for the call.
    virtual void OnWrite(std::span<const std::uint8_t> bytes, Clock::time_point time) = 0;
    // The UI thread; the reader waits for the call.
    virtual void OnRead(std::span<const std::uint8_t> chunk, Clock::time_point time) = 0;

  protected:
    ~PortTap() = default;
};

}  // namespace vantrel
