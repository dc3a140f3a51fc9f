#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/session_state.h"

namespace vantrel {

class CUpdaterDlg;

// When a unit last made progress: a block acknowledged, or the session
// moving to another state (handshake or header accepted, module end, a
// block the box sent back). A box that refuses the same frame again and
// again answers all the time, yet makes none; the window sends that frame
// again without end, so only the program running the unit can stop it.
class ProgressWatch {
  public:
    using SteadyClock = std::chrono::steady_clock;

    // How the unit stood when it was found without progress.
    struct Stall {
        bool silent = false;  // the box sent nothing at all meanwhile
        SessionState state = kWaitBoot;
        std::uint32_t framesSentAgain = 0;  // since the last progress
    };

    explicit ProgressWatch(SteadyClock::time_point start);

    // After each round of the UI thread's calls: nothing while the unit has
    // made progress within the last `seconds`, else how it stalled.
    std::optional<Stall> Stalled(const CUpdaterDlg& dlg, double seconds);

  private:
    const SteadyClock::time_point m_start;
    SteadyClock::time_point m_since;  // the last progress
    SessionState m_state = kWaitBoot;
    std::uint32_t m_blocks = 0;
    std::uint32_t m_sentAgain = 0;  // frames sent again up to the last progress
};

}  // namespace vantrel
