#include "serial/line_events.h"

namespace vantrel {

LineEvents EventsBetween(const LineCounters& before, const LineCounters& after) {
    LineEvents events = 0;
    const auto changed = [&](std::uint32_t LineCounters::*counter, LineEvents event) {
        if (before.*counter != after.*counter) {
            events |= event;
        }
    };
    changed(&LineCounters::cts, kEventCts);
    changed(&LineCounters::dsr, kEventDsr);
    changed(&LineCounters::ring, kEventRing);
    changed(&LineCounters::carrier, kEventRlsd);
    changed(&LineCounters::breaks, kEventBreak);
    changed(&LineCounters::frameErrors, kEventErr);
    changed(&LineCounters::overruns, kEventErr);
    changed(&LineCounters::parityErrors, kEventErr);
    changed(&LineCounters::bufferOverruns, kEventErr);
    return events;
}

bool PassSkipsRead(LineEvents events) {
    return (events & (kEventBreak | kEventCts | kEventErr | kEventRing | kEventRlsd)) != 0;
}

}  // namespace vantrel
