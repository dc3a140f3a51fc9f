#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "boxsim/peer_options.h"
#include "boxsim/peer_step.h"

namespace vantrel {

// Time that `bytes` take on a line of `baud`, 10 bits per byte.
std::chrono::microseconds WireTime(std::size_t bytes, std::uint32_t baud);

// Turns what the stand-in sends into line steps: the pacing wait, console
// text before an answer, and answers written in pieces.
class AnswerShaper {
  public:
    explicit AnswerShaper(const PeerOptions& options);

    // An ACK or NAK to a frame of `answeredLength` bytes.
    PeerSteps Answer(const std::vector<std::uint8_t>& answer, std::size_t answeredLength);
    // Bytes of the stand-in's own (a readback block, its MEN), sent in
    // answer to a frame of `answeredLength` bytes.
    PeerSteps Send(std::vector<std::uint8_t> bytes, std::size_t answeredLength) const;

  private:
    void AddPacing(PeerSteps& steps, std::size_t answeredLength) const;

    std::uint32_t m_pacingBaud;
    std::vector<std::uint8_t> m_consoleText;
    std::uint32_t m_consoleEvery;
    bool m_splitAnswers;
    std::chrono::microseconds m_pieceGap;
    std::uint64_t m_answers = 0;
};

}  // namespace vantrel
