#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "ports/detected_port.h"

namespace vantrel {

// One look at this machine's serial ports shared by the many windows of a
// station: sixty-four ports opened at once cost one discovery, not
// sixty-four. A look younger than `maxAge` is handed out again; an older one
// is taken anew, so a replugged adapter is still found. Any thread may ask.
class SharedPortDiscovery {
  public:
    explicit SharedPortDiscovery(std::chrono::milliseconds maxAge) : m_maxAge(maxAge) {}

    std::vector<DetectedPort> Detect();

  private:
    const std::chrono::milliseconds m_maxAge;
    std::mutex m_mutex;
    std::optional<std::chrono::steady_clock::time_point> m_takenAt;
    std::vector<DetectedPort> m_ports;
};

}  // namespace vantrel
