#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ports/shared_port_discovery.h"
#include "station/port_runner.h"
#include "station/port_snapshot.h"
#include "station/station_event.h"
#include "unit/units_under_way.h"

namespace vantrel {

// The slots of one station as a line, whichever front end shows it: a
// PortRunner per slot, started and stopped one by one or all at once, one
// look at the machine's ports shared by all of them, every slot halted once
// one finds the image changed, and the units under way. A slot keeps what
// its port last showed after the port ended.
//
// Threads: everything public belongs to the front end's thread, except
// `deliver`, which each port calls on its own thread with its events; it
// must hand them to the front end's thread, which gives each to Take.
class StationLine {
  public:
    using Deliver = std::function<void(std::size_t slot, StationEvent event)>;
    // Each ended unit, to be recorded: called by Take, on the front end's
    // thread, while the unit still counts as under way.
    using UnitEnded = std::function<void(std::size_t slot, const UnitRecord& unit)>;

    StationLine(std::vector<PortRunnerConfig> ports, Deliver deliver, UnitEnded ended);
    // Every slot is stopped and awaited.
    ~StationLine();
    StationLine(const StationLine&) = delete;
    StationLine& operator=(const StationLine&) = delete;

    std::size_t Size() const { return m_slots.size(); }
    const PortRunnerConfig& Config(std::size_t slot) const { return m_slots.at(slot).config; }

    // Starts the slot's port unless it runs; false when it runs or no new
    // unit may start on this line (the image changed).
    bool Start(std::size_t slot);
    // Cancel, exactly as the window's Cancel button, then end.
    void Stop(std::size_t slot);
    // The unit under way ends as it would; no new box is taken.
    void Finish(std::size_t slot);
    void StopAll();
    void FinishAll();
    // Waits for every slot's port to end.
    void AwaitAll();

    // What the line makes of an event of `slot`, before the front end shows
    // it: a box that began is under way, a unit that ended is handed to
    // `ended` and then no longer under way, and the first news of a changed
    // image halts every slot. True for that first news.
    bool Take(std::size_t slot, const StationEvent& event);

    // Whether the slot's port runs: started and not yet ended.
    bool Running(std::size_t slot) const;
    // Whether the slot has a port not yet let go of: running, or ended and
    // not yet collected.
    bool HasPort(std::size_t slot) const { return m_slots.at(slot).runner != nullptr; }
    // Every started port has ended.
    bool AllEnded() const;
    // Lets go of the port of a slot that has ended, keeping what it showed
    // last; true when there was one to let go.
    bool Collect(std::size_t slot);
    // The slot as its port shows it now, or as it last showed it.
    PortSnapshot Snapshot(std::size_t slot) const;
    // The log of the slot's unit under way or last unit, and a count that
    // changes whenever it does.
    std::string UnitLog(std::size_t slot) const;
    std::uint64_t UnitLogChanges(std::size_t slot) const;

    // Why no new unit starts, once the image changed; empty before.
    const std::string& ImageChange() const { return m_imageChange; }
    // Any thread: the units begun and not yet handed to the record.
    const UnitsUnderWay& UnderWay() const { return m_underWay; }

  private:
    struct Slot {
        PortRunnerConfig config;
        std::unique_ptr<PortRunner> runner;
        PortSnapshot lastSeen;  // once its runner has ended
        std::string lastLog;    // likewise
        std::uint64_t lastLogChanges = 0;
    };

    const Deliver m_deliver;
    const UnitEnded m_ended;
    // Every port opens at once: one look at the machine's ports serves them.
    SharedPortDiscovery m_discovery{std::chrono::seconds(2)};
    std::vector<Slot> m_slots;
    std::string m_imageChange;
    UnitsUnderWay m_underWay;
};

}  // namespace vantrel
