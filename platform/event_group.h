#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vantrel {

// A fixed set of up to 32 manual-reset events with a wait for any of them:
// a set event stays set until reset, and when several are set the lowest
// index wins. Setting an event orders everything its setter did before it
// ahead of what the waiter does after the wait returns. The events are one
// word waited on directly, so a set costs the waiter one wake and nothing
// more.
class EventGroup {
  public:
    static constexpr std::size_t kMaxEvents = 32;

    explicit EventGroup(std::size_t count);

    void Set(std::size_t index);
    void Reset(std::size_t index);
    bool IsSet(std::size_t index) const;
    // Blocks until an event is set and returns the lowest set index.
    std::size_t WaitAny() const;

  private:
    std::uint32_t Bit(std::size_t index) const;

    const std::size_t m_count;
    std::atomic<std::uint32_t> m_set{0};
};

}  // namespace vantrel
