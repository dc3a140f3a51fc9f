#include "unit/stall_watch.h"

#include <algorithm>

namespace vantrel {

std::optional<StallWatch::Stall> StallWatch::Stalled(SteadyClock::time_point now,
                                                     SteadyClock::time_point lastHeard,
                                                     SessionState state,
                                                     std::chrono::milliseconds limit) const {
    if (now - m_since < limit) {
        return std::nullopt;
    }
    // A unit's clock never starts before its Start, whatever the line
    // brought earlier.
    const bool silent = now - std::max(m_start, lastHeard) >= limit;
    return Stall{silent, state, m_sentAgain};
}

}  // namespace vantrel
