#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/session_state.h"

namespace vantrel {

// When a unit last made progress: the box announced itself, took a frame,
// acknowledged a block or sent one back that was stored. A box that
// refuses the same frame again and again answers all the time, yet makes
// none; the window sends that frame again without end, so only the program
// running the unit can stop it. Fed by the session's events.
class StallWatch {
  public:
    using SteadyClock = std::chrono::steady_clock;

    // How the unit stood when it was found without progress.
    struct Stall {
        bool silent = false;  // the box sent nothing at all meanwhile
        SessionState state = kWaitBoot;
        std::uint32_t framesSentAgain = 0;  // since the last progress
    };

    explicit StallWatch(SteadyClock::time_point start) : m_start(start), m_since(start) {}

    void Progressed(SteadyClock::time_point now) {
        m_since = now;
        m_sentAgain = 0;
    }
    void SentAgain() { ++m_sentAgain; }

    // When the unit stalls unless it makes progress first.
    SteadyClock::time_point Deadline(std::chrono::milliseconds limit) const {
        return m_since + limit;
    }
    // Nothing while the unit made progress within `limit`, else how it
    // stalled: `lastHeard` is when the box last sent anything, `state`
    // where the session stands.
    std::optional<Stall> Stalled(SteadyClock::time_point now, SteadyClock::time_point lastHeard,
                                 SessionState state, std::chrono::milliseconds limit) const;

  private:
    const SteadyClock::time_point m_start;
    SteadyClock::time_point m_since;
    std::uint32_t m_sentAgain = 0;
};

}  // namespace vantrel
