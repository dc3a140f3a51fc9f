#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace vantrel {

// A fixed set of manual-reset events with a wait for any of them: a set
// event stays set until reset, and when several are set the lowest index
// wins. Setting an event orders everything its setter did before it ahead of
// what the waiter does after the wait returns.
class EventGroup {
  public:
    explicit EventGroup(std::size_t count) : m_set(count, false) {}

    void Set(std::size_t index);
    void Reset(std::size_t index);
    bool IsSet(std::size_t index) const;
    // Blocks until an event is set and returns the lowest set index.
    std::size_t WaitAny() const;

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<bool> m_set;
};

}  // namespace vantrel
