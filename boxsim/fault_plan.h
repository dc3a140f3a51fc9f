#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "boxsim/frame_selector.h"
#include "boxsim/peer_options.h"

namespace vantrel {

// What becomes of a frame that passed its checks.
enum class FrameFate { kAccept, kRefuse, kIgnore, kVanish };

// Decides, from the failure switches, whether a good frame is accepted,
// refused with NAK, left unanswered, or answered by closing the line. Each
// chosen entry is used up by one arrival of its frame.
class FaultPlan {
  public:
    explicit FaultPlan(const PeerOptions& options);

    FrameFate Decide(const FrameSelector& frame);

  private:
    bool RandomNak(const FrameSelector& frame);

    std::vector<FrameSelector> m_vanish;
    std::vector<FrameSelector> m_silent;
    std::vector<FrameSelector> m_nak;
    double m_nakProbability;
    std::mt19937 m_random;
};

}  // namespace vantrel
