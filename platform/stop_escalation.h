#pragma once

#include <chrono>
#include <optional>

namespace vantrel {

// What one stop signal asks of a program that runs units.
enum class StopStep {
    kNone,            // no stop asked for (yet)
    kFinishUnderWay,  // the units under way end as they would; no new one starts
    kCancelUnderWay,  // Cancel for every unit under way, as the Cancel button
    kIgnore,          // a repeat too soon after the cancel: an impatient press
    kEndNow,          // the program ends at once, whatever is under way
};

// The steps of a stop, signal by signal. A program that finishes first
// (a station in a loop) takes the first SIGINT as "finish, take no new
// box" and a second as the cancel; SIGTERM and SIGHUP always cancel. Once
// cancelling, a signal within kGrace is ignored, since the units are being
// recorded; one after that ends the program at once.
class StopEscalation {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kGrace{10};

    explicit StopEscalation(bool interruptFinishesFirst)
        : m_interruptFinishesFirst(interruptFinishesFirst) {}

    StopStep Next(int signal, Clock::time_point now);

  private:
    const bool m_interruptFinishesFirst;
    bool m_finishing = false;
    std::optional<Clock::time_point> m_cancelledAt;
};

}  // namespace vantrel
