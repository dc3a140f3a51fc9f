#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/port_core.h"
#include "platform/one_shot_timer.h"
#include "platform/ui_thread_call.h"
#include "records/unit_record.h"
#include "unit/stall_watch.h"
#include "unit/unit_observer.h"

namespace vantrel {

// Why the program running a unit cancelled it, if it did.
// kStopped: the program or station stopped, not the operator's Cancel.
enum class UnitEnding { kNone, kCancelled, kStopped, kTimedOut, kLineLost };

// When a program cancels a unit by itself.
struct UnitRules {
    // No progress for this long cancels the unit; nothing: never.
    std::optional<std::chrono::milliseconds> timeout;
    // A line that waits idle for box after box: a unit begins when its box
    // announces itself, the timeout counts from there, and a wait that no
    // box answered is no unit.
    bool unitBeginsAtBoot = false;
};

// The units of one port, whoever presses its buttons: it listens to the
// port's core, turns what happens into one record per unit, and cancels
// when the unit stalls beyond the timeout or its line is lost. Everything
// runs on the UI thread; it must be made before the port is first opened,
// and outlive nothing it was given.
class UnitLine : private PortListener {
  public:
    UnitLine(PortCore& core, UiThreadCalls& ui, UnitRules rules, UnitObserver* observer);
    ~UnitLine();
    UnitLine(const UnitLine&) = delete;
    UnitLine& operator=(const UnitLine&) = delete;

    // What every unit's record begins with: host, station, operator, image
    // kind, tool version. Its id and start are each unit's own.
    void SetUnitTemplate(UnitRecord unit) { m_template = std::move(unit); }

    // From a session's start to its end.
    bool UnitUnderWay() const { return m_unit.has_value(); }
    bool BoxAnnounced() const { return m_unit && m_unit->progress.boxAnnounced; }
    // The record of the unit under way so far (its id and start), or of the
    // last one.
    const UnitRecord& CurrentRecord() const { return m_record; }
    // Cancels the unit under way, for `ending`; the first ending is the one
    // recorded.
    void Cancel(UnitEnding ending = UnitEnding::kCancelled);
    // Runs the UI thread until the unit under way has ended. At least every
    // `interval` it asks `cancelFor` whether the program wants the unit
    // cancelled (a signal, a stop: what arrives outside the UI thread's
    // queue), and for which ending. The unit layer cancels by itself after
    // the timeout without progress, or when the port is lost.
    void RunUntilEnded(UiThreadCalls& ui, std::chrono::milliseconds interval,
                       const std::function<std::optional<UnitEnding>()>& cancelFor);

    // Why the last Start began no session, in words; empty once one began.
    const std::string& StartRefusal() const { return m_startRefusal; }
    // Why the port was lost, in the port layer's words; empty while it is
    // open.
    const std::string& PortLoss() const { return m_portLoss; }

  private:
    struct Unit {
        explicit Unit(std::chrono::steady_clock::time_point start) : started(start), stall(start) {}
        std::chrono::steady_clock::time_point started;
        UnitProgress progress;
        StallWatch stall;
        UnitEnding ending = UnitEnding::kNone;
        bool cancelSent = false;
        std::optional<StallWatch::Stall> stalled;
    };

    void OnPortEvent(const PortEvent& event) override;
    void Begin(const port_event::SessionStarted& started);
    void OnSession(const SessionEvent& event);
    void Progressed();
    void End(const SessionEnd& end);
    void Finish(const SessionEnd& end, Unit& unit);
    // Cancel from inside an event: done once the core's call returns.
    void CancelLater(UnitEnding ending);
    void WatchForStall();
    void CheckForStall();

    PortCore& m_core;
    UiThreadCalls& m_ui;
    const UnitRules m_rules;
    UnitObserver* const m_observer;
    UnitRecord m_template;
    std::optional<port_event::PortOpened> m_port;
    std::string m_portLoss;
    std::string m_startRefusal;
    UnitRecord m_record;
    std::optional<Unit> m_unit;
    // Declared last: gone first, with its pending calls.
    CallGate m_later;
    OneShotTimer m_stallTimer;
};

}  // namespace vantrel
