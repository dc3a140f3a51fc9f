#include "ports/shared_port_discovery.h"

#include "ports/port_discovery.h"

namespace vantrel {

std::vector<DetectedPort> SharedPortDiscovery::Detect() {
    // Held while discovering: the ports that ask meanwhile wait for this
    // look instead of taking one each.
    std::lock_guard lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    if (!m_takenAt || now - *m_takenAt > m_maxAge) {
        m_ports = DetectSerialPorts();
        m_takenAt = std::chrono::steady_clock::now();
    }
    return m_ports;
}

}  // namespace vantrel
