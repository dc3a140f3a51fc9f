#include "boxsim/answer_shaper.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr std::uint64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr std::size_t kFirstPieceLength = 2;

}  // namespace

std::chrono::microseconds WireTime(std::size_t bytes, std::uint32_t baud) {
    if (baud == 0) {
        return std::chrono::microseconds{0};
    }
    return std::chrono::microseconds{bytes * kBitsPerByte * 1'000'000 / baud};
}

AnswerShaper::AnswerShaper(const PeerOptions& options)
    : m_pacingBaud(options.pacingBaud),
      m_consoleText(options.consoleText.begin(), options.consoleText.end()),
      m_consoleEvery(std::max<std::uint32_t>(options.consoleEvery, 1)),
      m_splitAnswers(options.splitAnswers),
      m_pieceGap(options.pieceGap) {}

PeerSteps AnswerShaper::Answer(const std::vector<std::uint8_t>& answer,
                               std::size_t answeredLength) {
    PeerSteps steps;
    AddPacing(steps, answeredLength);
    ++m_answers;
    if (!m_consoleText.empty() && m_answers % m_consoleEvery == 0) {
        steps.push_back(PeerStep::Write(m_consoleText));
        steps.push_back(PeerStep::Pause(m_pieceGap));
    }
    if (m_splitAnswers && answer.size() > kFirstPieceLength) {
        const auto split = answer.begin() + kFirstPieceLength;
        steps.push_back(PeerStep::Write({answer.begin(), split}));
        steps.push_back(PeerStep::Pause(m_pieceGap));
        steps.push_back(PeerStep::Write({split, answer.end()}));
    } else {
        steps.push_back(PeerStep::Write(answer));
    }
    return steps;
}

PeerSteps AnswerShaper::Send(std::vector<std::uint8_t> bytes, std::size_t answeredLength) const {
    PeerSteps steps;
    AddPacing(steps, answeredLength);
    steps.push_back(PeerStep::Write(std::move(bytes)));
    return steps;
}

void AnswerShaper::AddPacing(PeerSteps& steps, std::size_t answeredLength) const {
    if (m_pacingBaud != 0) {
        steps.push_back(PeerStep::Pause(WireTime(answeredLength, m_pacingBaud)));
    }
}

}  // namespace vantrel
