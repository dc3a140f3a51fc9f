#pragma once

#include <chrono>
#include <cstdint>

#include "core/port_event.h"
#include "records/unit_record.h"

namespace vantrel {

// Where the unit under way stands, as a front end shows it.
struct UnitProgress {
    bool boxAnnounced = false;
    std::uint32_t blocksAcknowledged = 0;
    std::uint32_t blocksTotal = 0;
    std::uint32_t framesSentAgain = 0;
    std::chrono::steady_clock::time_point bootedAt{};  // once the box announced itself
};

// What a front end is told of its line and its units, on the UI thread,
// as it happens. Nothing here may open, start or cancel: that waits for the
// call to return.
class UnitObserver {
  public:
    // Every event of the line, before the unit layer acts on it.
    virtual void OnLineEvent(const PortEvent& /*event*/) {}
    // The box announced itself, a block was acknowledged or a frame sent
    // again.
    virtual void OnUnitProgress(const UnitProgress& /*progress*/) {}
    // A unit ended; its record is complete.
    virtual void OnUnitEnded(const UnitRecord& /*unit*/) {}

  protected:
    ~UnitObserver() = default;
};

}  // namespace vantrel
