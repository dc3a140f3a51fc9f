#include "unit/units_under_way.h"

#include "records/record_time.h"

namespace vantrel {

void UnitsUnderWay::Begin(const std::string& port, const std::string& device,
                          std::chrono::system_clock::time_point since) {
    std::string name = port + " (" + device + "), since " + UtcSecondsText(since);
    std::lock_guard lock(m_mutex);
    m_units[port] = std::move(name);
}

void UnitsUnderWay::End(const std::string& port) {
    std::lock_guard lock(m_mutex);
    m_units.erase(port);
}

std::vector<std::string> UnitsUnderWay::Names() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    for (const auto& [key, name] : m_units) {
        names.push_back(name);
    }
    return names;
}

}  // namespace vantrel
