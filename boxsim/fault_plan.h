#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "boxsim/frame_selector.h"
#include "boxsim/peer_options.h"

namespace vantrel {

// What becomes of a frame that passed its checks.
enum class FrameFate { kAccept, kRefuse, kRefuseForEver, kIgnore, kVanish, kRestart };

// Decides, from the failure switches, whether a good frame is accepted,
// refused with NAK, left unanswered, answered by closing the line or by the
// box starting again. Each chosen entry is used up by one arrival of its
// frame, except those refused for ever.
class FaultPlan {
  public:
    explicit FaultPlan(const PeerOptions& options);

    FrameFate Decide(const FrameSelector& frame);

  private:
    bool RandomNak(const FrameSelector& frame);

    std::vector<FrameSelector> m_vanish;
    std::vector<FrameSelector> m_restart;
    std::vector<FrameSelector> m_silent;
    std::vector<FrameSelector> m_nak;
    std::vector<FrameSelector> m_nakForEver;
    double m_nakProbability;
    std::mt19937 m_random;
};

}  // namespace vantrel
