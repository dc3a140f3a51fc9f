#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "boxsim/peer_step.h"

namespace vantrel {

// The stand-in's pending line steps, in order. A pause delays the entry
// after it from the moment the entry before it has been written out, so
// pacing holds even when the line is slow to take bytes.
class OutputQueue {
  public:
    using Clock = std::chrono::steady_clock;

    void Append(const PeerSteps& steps, Clock::time_point now);

    bool Empty() const { return m_entries.empty(); }
    // When the front entry may go out; none when the queue is empty.
    std::optional<Clock::time_point> FrontDue() const;
    bool FrontClosesLine() const;
    // What is left to write of the front entry (may be empty: a pause).
    std::span<const std::uint8_t> FrontBytes() const;
    // `count` more bytes of the front entry are written; a finished entry
    // makes way for the next, whose pause starts `now`.
    void Consume(std::size_t count, Clock::time_point now);
    void Clear();

  private:
    struct Entry {
        std::chrono::microseconds pauseBefore{0};
        std::vector<std::uint8_t> bytes;
        bool closeLine = false;
    };

    std::deque<Entry> m_entries;
    std::size_t m_frontWritten = 0;
    Clock::time_point m_frontDue;
};

}  // namespace vantrel
