#include "platform/poll_deadline.h"

#include <gtest/gtest.h>

#include <optional>

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PollTimeout, RoundsUpToWholeMillisecondsAndWaitsAMinuteAtMost) {
    const Clock::time_point now = Clock::time_point{} + 24h;
    const struct {
        const char* name;
        std::optional<Clock::time_point> deadline;
        int timeout;
    } cases[] = {
        {"no deadline", std::nullopt, -1},
        {"reached just now", now, 0},
        {"passed", now - 1ns, 0},
        {"long passed", Clock::time_point{}, 0},
        {"a nanosecond ahead", now + 1ns, 1},
        {"one millisecond ahead", now + 1ms, 1},
        {"just over one millisecond", now + 1ms + 1ns, 2},
        {"just under two milliseconds", now + 2ms - 1ns, 2},
        {"a second and a half", now + 1500ms, 1500},
        {"a minute", now + 1min, 60'000},
        {"just over a minute", now + 1min + 1ns, 60'000},
        {"a year", now + 24h * 365, 60'000},
        {"the clock's last instant", Clock::time_point::max(), 60'000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PollTimeout(c.deadline, now), c.timeout) << c.name;
    }
}

}  // namespace
}  // namespace vantrel
