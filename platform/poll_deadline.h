#pragma once

#include <chrono>
#include <optional>

namespace vantrel {

// The timeout for poll() that waits until `deadline`, seen at `now`: whole
// milliseconds rounded up, so that a wait never ends just before the
// deadline; 0 once it is reached, -1 (no limit) without one. A far deadline
// gives at most a minute, which fits poll()'s int; the caller then finds its
// deadline still ahead and waits again.
int PollTimeout(std::optional<std::chrono::steady_clock::time_point> deadline,
                std::chrono::steady_clock::time_point now);

}  // namespace vantrel
