#pragma once

#include <QMainWindow>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/stop_escalation.h"
#include "station/qt/slot_tile.h"
#include "station/shift_tally.h"
#include "station/station_line.h"
#include "station/station_setup.h"
#include "unit/units_under_way.h"

class QLabel;
class QTimer;
class QTreeWidget;

namespace vantrel {

class LogPane;
class StationHeader;

struct StationWindowOptions {
    bool askSerial = false;  // each unit's box serial number is typed or scanned on its tile
};

// A line's station in a window: a tile per slot, each slot's port run box
// after box on the station's line, every ended unit recorded with the
// serial number typed on its tile. Stop and Start per
// slot and for the whole line; the selected slot's unit log and recent
// units below the tiles. Closing while a box is being updated asks first,
// then cancels every unit as the Cancel button does and records it. Stop
// all asks whether the units under way finish or are cancelled.
class StationWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Uses `setup`'s ports, image, labels and recorder, which must outlive it.
    StationWindow(StationSetup& setup, StationWindowOptions options, QWidget* parent = nullptr);
    ~StationWindow() override;

    void StartSlot(std::size_t index);
    void StopSlot(std::size_t index);
    void StartAll();
    // With boxes under way, asks first: finish them and take no new box,
    // or cancel them now.
    void StopAll();

    // A stop signal: any modal dialog goes; every slot finishes its unit
    // under way (kFinishUnderWay) or cancels it (kCancelUnderWay) and takes
    // no new box; once every unit is recorded the window closes.
    void OnStopSignal(StopStep step);
    // After a stop signal closed the window: 0 when no unit was under way
    // at the signal, 1 when one of those did not complete, 0 otherwise.
    int ExitStatus() const { return m_exitStatus; }
    // Any thread: the units begun and not yet handed to the recorder.
    const UnitsUnderWay& UnderWay() const { return m_line.UnderWay(); }
    // The window's thread: the line its slots run on.
    const StationLine& Line() const { return m_line; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Slot {
        std::string label;
        bool stopped = false;            // by the operator
        std::optional<UnitRecord> held;  // the last unit, until the next box
        UnitCounts tally;
        std::deque<UnitRecord> recent;  // newest first, without their logs
        SlotTile* tile = nullptr;
        bool unitAtStop = false;  // a box was under way when a stop signal came
        bool finishing = false;   // its unit under way finishes; no new box is taken
    };

    void OnEvent(std::size_t index, const StationEvent& event);
    void OnUnitEnded(std::size_t index, UnitRecord unit);
    void Refresh();
    void Select(std::size_t index);
    void ShowSelectedLog(bool always);
    void ShowSelectedUnits();
    std::string BannerText() const;
    bool BoxUnderWay(std::size_t index) const;
    bool AnyBoxUnderWay() const;
    void FinishAll();
    void CancelAll();
    // Every slot stopped and awaited, and each unit it ended recorded.
    void StopAndAwaitAll();
    // Closes the window once a stop signal's slots have all ended.
    void CloseOnceStopped();

    StationSetup& m_setup;
    const StationWindowOptions m_options;
    std::vector<Slot> m_slots;
    ShiftTally m_tally{ShiftTally::Clock::now()};

    StationHeader* m_header;
    QLabel* m_selectedTitle;
    LogPane* m_log;
    QTreeWidget* m_units;
    QTimer* m_refresh;
    std::optional<std::size_t> m_selected;
    std::uint64_t m_logShown = 0;  // the selected slot's log changes shown
    bool m_stoppingBySignal = false;
    int m_exitStatus = 0;
    StationLine m_line;
};

}  // namespace vantrel
