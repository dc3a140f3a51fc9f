#include "platform/event_group.h"

#include <gtest/gtest.h>

#include <thread>

namespace vantrel {
namespace {

TEST(EventGroup, LowestSetEventWins) {
    const struct {
        std::vector<std::size_t> set;
        std::size_t winner;
    } cases[] = {{{2}, 2}, {{1, 2}, 1}, {{2, 0}, 0}, {{0, 1, 2}, 0}};
    for (const auto& c : cases) {
        EventGroup events(3);
        for (std::size_t index : c.set) {
            events.Set(index);
        }
        EXPECT_EQ(events.WaitAny(), c.winner);
        EXPECT_EQ(events.WaitAny(), c.winner) << "manual reset: still set";
    }
}

TEST(EventGroup, ResetEventIsNotSeen) {
    EventGroup events(3);
    events.Set(0);
    events.Set(2);
    events.Reset(0);
    EXPECT_FALSE(events.IsSet(0));
    EXPECT_EQ(events.WaitAny(), 2u);
}

TEST(EventGroup, WaitEndsWhenAnotherThreadSets) {
    EventGroup events(3);
    int written = 0;
    std::thread setter([&] {
        written = 42;  // ordered before the waiter's read by the event
        events.Set(1);
    });
    EXPECT_EQ(events.WaitAny(), 1u);
    EXPECT_EQ(written, 42);
    setter.join();
}

}  // namespace
}  // namespace vantrel
