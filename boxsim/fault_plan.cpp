#include "boxsim/fault_plan.h"

#include <algorithm>

namespace vantrel {
namespace {

bool TakeEntry(std::vector<FrameSelector>& entries, const FrameSelector& frame) {
    const auto found = std::find(entries.begin(), entries.end(), frame);
    if (found == entries.end()) {
        return false;
    }
    entries.erase(found);
    return true;
}

}  // namespace

FaultPlan::FaultPlan(const PeerOptions& options)
    : m_vanish(options.vanishFrames),
      m_restart(options.restartFrames),
      m_silent(options.silentFrames),
      m_nak(options.nakFrames),
      m_nakForEver(options.nakAlwaysFrames),
      m_nakProbability(options.nakProbability),
      m_random(options.nakSeed) {}

FrameFate FaultPlan::Decide(const FrameSelector& frame) {
    if (TakeEntry(m_vanish, frame)) {
        return FrameFate::kVanish;
    }
    if (TakeEntry(m_restart, frame)) {
        return FrameFate::kRestart;
    }
    if (TakeEntry(m_silent, frame)) {
        return FrameFate::kIgnore;
    }
    if (std::ranges::find(m_nakForEver, frame) != m_nakForEver.end()) {
        return FrameFate::kRefuseForEver;
    }
    if (TakeEntry(m_nak, frame) || RandomNak(frame)) {
        return FrameFate::kRefuse;
    }
    return FrameFate::kAccept;
}

// Only frames that the tool sends again are refused at random: a NAK to the
// module end fails the update.
bool FaultPlan::RandomNak(const FrameSelector& frame) {
    if (m_nakProbability <= 0.0 || frame.frame == FrameSelector::Frame::kModuleEnd ||
        frame.frame == FrameSelector::Frame::kGlobalEnd) {
        return false;
    }
    // The raw engine output keeps a seed's choices the same on every platform,
    // which the standard distributions do not promise.
    const double draw =
        static_cast<double>(m_random()) / (static_cast<double>(std::mt19937::max()) + 1.0);
    return draw < m_nakProbability;
}

}  // namespace vantrel
