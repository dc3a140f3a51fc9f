#include "station/progress_watch.h"

#include <algorithm>

#include "ui/updater_dlg.h"

namespace vantrel {

ProgressWatch::ProgressWatch(SteadyClock::time_point start) : m_start(start), m_since(start) {}

std::optional<ProgressWatch::Stall> ProgressWatch::Stalled(const CUpdaterDlg& dlg, double seconds) {
    // Only an answer from the box moves the session on, and the last one to
    // arrive is the closest moment known for it; a unit's clock never starts
    // before its Start, whatever the line brought earlier.
    const SteadyClock::time_point lastHeard = std::max(m_start, dlg.LastReceiveTime());
    const SessionState state = dlg.CurrentSessionState();
    const std::uint32_t blocks = dlg.SessionProgress().blockCounter;
    // Blocks the box sends back leave the state where the first one put it:
    // while it acknowledges them, each arrival is the next block.
    const bool readback = state == kReadbackAck && lastHeard > m_since;
    if (state != m_state || blocks != m_blocks || readback) {
        m_state = state;
        m_blocks = blocks;
        m_sentAgain = dlg.FramesSentAgain();
        m_since = std::max(m_since, lastHeard);
    }
    const SteadyClock::time_point now = SteadyClock::now();
    const std::chrono::duration<double> limit(seconds);
    if (now - m_since <= limit) {
        return std::nullopt;
    }
    return Stall{now - lastHeard > limit, state, dlg.FramesSentAgain() - m_sentAgain};
}

}  // namespace vantrel
