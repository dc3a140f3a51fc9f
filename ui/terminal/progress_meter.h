#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vantrel {

// One line of a terminal progress bar: blocks, per cent, bytes per second
// and time left, from the progress bar's position and range.
class ProgressMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // The range is set when an update starts; the rate counts from then.
    void Start(int total, Clock::time_point now);
    // The bar's text at `position` blocks, or nothing while no update runs.
    std::optional<std::string> Line(int position, Clock::time_point now) const;
    void Stop() { m_total = 0; }

  private:
    int m_total = 0;
    Clock::time_point m_started{};
};

}  // namespace vantrel
