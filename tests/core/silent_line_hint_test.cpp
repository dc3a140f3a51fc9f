#include "core/silent_line_hint.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

TEST(SilentLineHint, NamesTheDeviceTheSilenceAndWhatToCheck) {
    const struct {
        std::chrono::milliseconds silence;
        const char* shown;
    } cases[] = {{10s, " for 10 s."},
                 {1s, " for 1 s."},
                 {1500ms, " for 1500 ms."},
                 {20ms, " for 20 ms."},
                 {0ms, " for 0 ms."}};
    for (const auto& c : cases) {
        const std::string hint = SilentLineHint("/dev/ttyUSB0", c.silence);
        EXPECT_EQ(hint.rfind("Nothing has arrived on /dev/ttyUSB0", 0), 0u) << hint;
        EXPECT_NE(hint.find(c.shown), std::string::npos) << hint;
        for (const char* check : {"powered", "boot loader", "null-modem", "right port"}) {
            EXPECT_NE(hint.find(check), std::string::npos) << check << " in " << hint;
        }
        EXPECT_EQ(hint.find_first_of("\r\n"), std::string::npos) << "one line, no line end";
    }
}

}  // namespace
}  // namespace vantrel
