#include "core/usb_latency_cost.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(UsbLatencyCostLine, OnlyATimerAbove1MsCostsSomething) {
    DetectedPort adapter;
    adapter.device = "/dev/ttyUSB0";
    adapter.sysName = "ttyUSB0";
    const struct {
        std::optional<int> timerMs;
        const char* cost;  // nullptr: no line
    } cases[] = {{std::nullopt, nullptr},
                 {0, nullptr},
                 {1, nullptr},
                 {2, "up to 2.1 s more"},
                 {16, "up to 16.5 s more"},
                 {255, "up to 262.4 s more"}};
    for (const auto& c : cases) {
        const auto line = UsbLatencyCostLine(2, adapter, c.timerMs);
        ASSERT_EQ(line.has_value(), c.cost != nullptr) << c.timerMs.value_or(-1);
        if (!line) {
            continue;
        }
        EXPECT_EQ(line->rfind("PORT 2 (/dev/ttyUSB0): ", 0), 0u) << *line;
        EXPECT_NE(line->find(" is " + std::to_string(*c.timerMs) + " ms "), std::string::npos);
        EXPECT_NE(line->find("each of the 1029 answers of an LDAP update"), std::string::npos);
        EXPECT_NE(line->find(c.cost), std::string::npos) << *line;
        EXPECT_NE(line->find("60-vantrel.rules"), std::string::npos);
        EXPECT_NE(line->find("echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer"),
                  std::string::npos);
        EXPECT_EQ(line->find_first_of("\r\n"), std::string::npos) << "one line, no line end";
    }
}

}  // namespace
}  // namespace vantrel
