#include "tests/station/recorded_units.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/child_process.h"
#include "tests/support/json_text.h"

namespace vantrel::test {

std::map<std::string, nlohmann::json> RecordedUnits(const std::string& recordFile) {
    ChildProcess records({VANTREL_RECORDS_PATH, "--record", recordFile, "--json"});
    EXPECT_EQ(records.Wait(std::chrono::seconds(10)), 0) << records.Err();
    std::map<std::string, nlohmann::json> units;
    for (const nlohmann::json& unit : ParseJson(records.Out())) {
        units[unit.at("port_label").get<std::string>()] = unit;
    }
    return units;
}

}  // namespace vantrel::test
