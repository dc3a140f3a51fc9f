#include "boxsim/output_queue.h"

namespace vantrel {

void OutputQueue::Append(const PeerSteps& steps, Clock::time_point now) {
    const bool wasEmpty = m_entries.empty();
    std::chrono::microseconds pause{0};
    for (const PeerStep& step : steps) {
        switch (step.kind) {
            case PeerStep::Kind::kPause:
                pause += step.pause;
                break;
            case PeerStep::Kind::kWrite:
                m_entries.push_back({pause, step.bytes, false});
                pause = {};
                break;
            case PeerStep::Kind::kCloseLine:
                m_entries.push_back({pause, {}, true});
                pause = {};
                break;
        }
    }
    if (pause.count() > 0) {
        m_entries.push_back({pause, {}, false});
    }
    if (wasEmpty && !m_entries.empty()) {
        m_frontWritten = 0;
        m_frontDue = now + m_entries.front().pauseBefore;
    }
}

std::optional<OutputQueue::Clock::time_point> OutputQueue::FrontDue() const {
    if (m_entries.empty()) {
        return std::nullopt;
    }
    return m_frontDue;
}

bool OutputQueue::FrontClosesLine() const {
    return !m_entries.empty() && m_entries.front().closeLine;
}

std::span<const std::uint8_t> OutputQueue::FrontBytes() const {
    if (m_entries.empty()) {
        return {};
    }
    return std::span(m_entries.front().bytes).subspan(m_frontWritten);
}

void OutputQueue::Consume(std::size_t count, Clock::time_point now) {
    m_frontWritten += count;
    if (m_frontWritten < m_entries.front().bytes.size()) {
        return;
    }
    m_entries.pop_front();
    m_frontWritten = 0;
    if (!m_entries.empty()) {
        m_frontDue = now + m_entries.front().pauseBefore;
    }
}

void OutputQueue::Clear() {
    m_entries.clear();
    m_frontWritten = 0;
}

}  // namespace vantrel
