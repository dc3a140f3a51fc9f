#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace vantrel::test {

// The units in `recordFile` as vantrel-records exports them, by port.
std::map<std::string, nlohmann::json> RecordedUnits(const std::string& recordFile);

}  // namespace vantrel::test
