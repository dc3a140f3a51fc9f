#include "unit/units_under_way.h"

namespace vantrel {

void UnitsUnderWay::Begin(const std::string& key, std::string name) {
    std::lock_guard lock(m_mutex);
    m_units[key] = std::move(name);
}

void UnitsUnderWay::End(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_units.erase(key);
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
