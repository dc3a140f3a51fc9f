#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/image_load.h"
#include "core/kept_log.h"
#include "ports/detected_port.h"
#include "records/unit_record.h"
#include "serial/port_device.h"
#include "station/port_snapshot.h"
#include "station/slot_tie.h"
#include "station/station_event.h"
#include "unit/unit_observer.h"

namespace vantrel {

class PortCore;
class UiThreadCalls;
class UnitLine;

struct PortRunnerConfig {
    std::string label;                                 // "PORT 1", or the device as given
    int portNumber = 1;                                // the PORT number it opens
    std::optional<GivenDevice> device;                 // given as a path: what that PORT opens
    ImageChoice image;                                 // checked at the start of the shift
    bool loop = false;                                 // Start again after each unit
    std::optional<double> timeoutSeconds;              // time without progress that cancels a unit
    std::optional<std::filesystem::path> readbackDir;  // each unit's blocks from the box
    std::chrono::milliseconds reopenInterval{3000};
    // How this machine's ports are found; empty: by a look of its own.
    std::function<std::vector<DetectedPort>()> detectPorts;
    std::chrono::milliseconds silentLineHintDelay{10000};
    UnitRecord unitTemplate;  // host, image, its digest and kind, tool version
    // The SHA-256 every unit's image must have; empty: any that passes the
    // image checks.
    std::string pinnedSha256;
    // Each acknowledged block and frame sent again reported as a kProgress
    // event; without it the snapshot alone tells how far a unit has come.
    bool reportProgress = false;
};

// One port of a station: a port core on a UI thread of its own, started as
// an operator would start the window, once or, in a loop, for box after
// box. It reports each event and each ended unit through `report`, called
// on its thread; its units are accounted for by a UnitLine.
class PortRunner : private UnitObserver {
  public:
    using Report = std::function<void(StationEvent)>;

    PortRunner(PortRunnerConfig config, Report report);
    ~PortRunner();
    PortRunner(const PortRunner&) = delete;
    PortRunner& operator=(const PortRunner&) = delete;

    void Start();
    // Cancel, exactly as the window's Cancel button, then end; a wait for a box that
    // never came ends without a unit.
    void RequestStop();
    // The unit under way (a box that has announced itself) ends as it
    // would; no new one starts, and the port's row says `reason`.
    void HaltNewUnits(std::string reason);
    // The graceful end of a shift: the unit under way ends as it would, no
    // new box is taken, and the port ends.
    void FinishAndStop() { m_noNewUnits.store(true); }
    bool Finished() const { return m_finished.load(); }
    void Join();

    PortSnapshot Snapshot() const;
    // The log of the unit under way, or of the last one, since its session
    // began; and a count that changes whenever it does.
    std::string UnitLog() const;
    std::uint64_t UnitLogChanges() const;

  private:
    void Run();
    // Opens (again) until the port is connected; false when it cannot be
    // (once, or until stopped in a loop).
    bool OpenUntilConnected(PortCore& core, const UnitLine& line, UiThreadCalls& ui);
    // Opens the port as decided now; the log tells how it went (naming the
    // device with `identity`).
    void Open(PortCore& core, bool identity);
    // One Start to the session's end; false when none started.
    bool RunUnit(PortCore& core, UnitLine& line, UiThreadCalls& ui);
    void ShowEnd(const UnitRecord& unit);
    // After a Start that found other bytes than the pinned image: told, and
    // the port starts no unit any more.
    void ReportImageChange(const PortCore& core);
    // A line lost outside a unit: told, and (in a loop) worth opening again.
    bool ReportLoss(const std::string& loss, const std::string& device);
    // False once stopped or told to start no new unit.
    bool TakesNewBoxes() const { return !m_stop.load() && !m_noNewUnits.load(); }
    bool Pause(UiThreadCalls& ui, std::chrono::milliseconds length);
    std::vector<DetectedPort> DetectPorts() const;
    // After an open: the slot is tied to what it opened, and told once how
    // to name a port given by its kernel name.
    void TieTo(const std::string& device);
    // Why the device the slot's name leads to now is not this slot's, once
    // told; empty when it may be opened.
    std::string RefuseForeignDevice(std::string& reported);
    // An event of this port, happening now.
    StationEvent Event(StationEvent::Kind kind, std::string device, std::string text = {}) const;

    // UnitObserver, the port's thread.
    void OnLineEvent(const PortEvent& event) override;
    void OnUnitProgress(const UnitProgress& progress) override;
    void OnUnitEnded(const UnitRecord& unit) override;

    template <typename Change>
    void Update(Change change) {
        std::lock_guard lock(m_mutex);
        change(m_snapshot);
    }

    const PortRunnerConfig m_config;
    const Report m_report;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_noNewUnits{false};
    std::string m_haltReason;  // guarded by m_mutex
    std::atomic<bool> m_finished{false};
    mutable std::mutex m_mutex;
    PortSnapshot m_snapshot;
    KeptLog m_unitLog;                   // guarded by m_mutex
    std::uint64_t m_unitLogChanges = 0;  // guarded by m_mutex
    // When the box of the unit under way announced itself; guarded by m_mutex.
    std::optional<std::chrono::steady_clock::time_point> m_bootedAt;
    // The port's thread only: opened and told so, with no loss told since;
    // the unit that ended last.
    bool m_announcedOpen = false;
    std::optional<UnitRecord> m_ended;
    SlotTie m_tie;
    bool m_advised = false;
    std::thread m_thread;
};

}  // namespace vantrel
