#pragma once

#include <chrono>
#include <functional>

namespace vantrel::test {

// Runs `step` (one short wait, such as running the UI thread's calls for a
// few milliseconds) until `done` holds or `limit` has passed; true when
// `done` held. `done` is asked before every step, so one that already holds
// takes no step.
bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds limit);

}  // namespace vantrel::test
