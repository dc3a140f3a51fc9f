#include "serial/line_events.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct EventCase {
    const char* name;
    std::uint32_t LineCounters::*counter;
    LineEvents event;
    bool skipsRead;
};

const EventCase kEvents[] = {
    {"CTS change", &LineCounters::cts, kEventCts, true},
    {"DSR change", &LineCounters::dsr, kEventDsr, false},
    {"ring", &LineCounters::ring, kEventRing, true},
    {"carrier change", &LineCounters::carrier, kEventRlsd, true},
    {"break", &LineCounters::breaks, kEventBreak, true},
    {"frame error", &LineCounters::frameErrors, kEventErr, true},
    {"overrun", &LineCounters::overruns, kEventErr, true},
    {"parity error", &LineCounters::parityErrors, kEventErr, true},
    {"buffer overrun", &LineCounters::bufferOverruns, kEventErr, true},
};

TEST(LineEvents, EachCounterReportsItsEventAndDecidesTheRead) {
    const LineCounters before{3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (const EventCase& c : kEvents) {
        SCOPED_TRACE(c.name);
        LineCounters after = before;
        after.*c.counter += 1;
        const LineEvents events = EventsBetween(before, after);
        EXPECT_EQ(events, c.event);
        // Received characters come with every wake-up that has bytes queued.
        EXPECT_EQ(PassSkipsRead(events | kEventRxChar), c.skipsRead);
    }
    EXPECT_EQ(EventsBetween(before, before), 0u);
    EXPECT_FALSE(PassSkipsRead(kEventRxChar)) << "plain received characters are read";
}

}  // namespace
}  // namespace vantrel
