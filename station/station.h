#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/stop_escalation.h"
#include "station/port_runner.h"
#include "station/progress_throttle.h"
#include "station/station_line.h"
#include "station/station_output.h"
#include "unit/units_under_way.h"

namespace vantrel {

struct StationConfig {
    std::vector<PortRunnerConfig> ports;
    bool loop = false;
    StationOutput output = StationOutput::kLines;
    std::size_t width = 120;  // of the dashboard
    // The terminal's new width once it has changed since the last call,
    // nothing otherwise; asked at every turn of the station's loop.
    std::function<std::optional<std::size_t>()> resized;
};

// Several ports updated at once as one line, and what the operator sees of
// them on a terminal: a dashboard redrawn in place, one line per event,
// or one JSON object per event. Each ended unit goes to `onUnit` (the
// record), on the station's own thread. Once `out` has failed (its reader
// went away) the ports go on, and their units end and are recorded, unseen.
class Station {
  public:
    using UnitSink = std::function<void(const UnitRecord&)>;
    // Asked at every turn: kNone, kFinishUnderWay or kCancelUnderWay.
    using StopRequested = std::function<StopStep()>;

    Station(StationConfig config, std::FILE* out, UnitSink onUnit);

    // Runs every port until each has ended, or until `stopRequested` says
    // so: to finish, the units under way end as they would and no port
    // takes a new box; to cancel, each is cancelled as with the Cancel
    // button. Either way every port is awaited. Prints the summary; returns
    // the exit status: 0 when every unit completed, 1 when any did not, a
    // port never opened or the image changed, 2 when no unit started at all.
    int Run(const StopRequested& stopRequested);

    // Any thread: the units begun (their box announced, or Start pressed)
    // and not yet handed to the record.
    const UnitsUnderWay& UnderWay() const { return m_line.UnderWay(); }
    // The station's own thread, once Run has returned: its slots as they ended.
    const StationLine& Line() const { return m_line; }

  private:
    void Queue(std::size_t slot, StationEvent event);
    void OnUnitEnded(const UnitRecord& unit);
    void Drain();
    void Show(const StationEvent& event);
    // True when the terminal's width changed: the next redraw starts afresh.
    bool FollowTerminalWidth();
    void Redraw();
    int ExitStatus() const;

    const StationConfig m_config;
    std::FILE* const m_out;
    const UnitSink m_onUnit;

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::pair<std::size_t, StationEvent>> m_events;
    bool m_wakingEventQueued = false;  // any but progress, which waits for the next turn

    // The station's own thread only.
    std::size_t m_width;
    bool m_drawAfresh = false;  // the terminal was resized since the last redraw
    std::size_t m_rowsShown = 0;
    ProgressThrottle m_progress{std::chrono::seconds(1)};
    unsigned m_unitsEnded = 0;
    unsigned m_unitsNotCompleted = 0;
    std::set<std::string> m_portsNotOpen;  // by label: a port whose last open failed
    bool m_imageChanged = false;
    bool m_finishing = false;
    // Declared last: its ports, which queue their events here, end first.
    StationLine m_line;
};

}  // namespace vantrel
