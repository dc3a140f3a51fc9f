#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui_thread_call.h"
#include "records/record_target.h"
#include "records/unit_recorder.h"
#include "unit/unit_line.h"
#include "unit/unit_observer.h"
#include "unit/units_under_way.h"

namespace vantrel {

class CIniFile;
class PortCore;

// Every unit of a window's port that reaches Start, recorded into the store
// the settings file's [RECORDS] section names (the default record file
// unless it says otherwise), labelled from its [STATION] section. Nothing
// here stops an update: a store that cannot be used, a refused label and
// the recorder's warnings and notices are each one line for the log, told
// on the UI thread once the window has started.
class UnitRecording : private UnitObserver {
  public:
    // How long the recorder may take at the end to send what it holds.
    static constexpr std::chrono::seconds kCloseLimit{5};

    // One line of text, without its line end.
    using LogLine = std::function<void(const std::string& line)>;

    // Make on the UI thread before `core` first opens its port (the unit
    // layer hears of every open), and destroy before `core`.
    UnitRecording(PortCore& core, UiThreadCalls& ui, const CIniFile& settings,
                  std::string toolVersion, LogLine log);
    // Closes the recorder unless Close did.
    ~UnitRecording();
    UnitRecording(const UnitRecording&) = delete;
    UnitRecording& operator=(const UnitRecording&) = delete;

    // Closes the recorder within kCloseLimit, once; where the units it could
    // not record went is told on standard error, the window being gone.
    // How many are not in the record file.
    std::size_t Close();

    bool UnitUnderWay() const { return m_line.UnitUnderWay(); }
    // Cancels the unit under way, which then ends stopped rather than
    // cancelled by the operator; false when no unit is under way.
    bool StopUnit() {
        if (!m_line.UnitUnderWay()) {
            return false;
        }
        m_line.Cancel(UnitEnding::kStopped);
        return true;
    }
    // Called on the UI thread after each unit is handed to the recorder.
    void OnEachUnitEnded(std::function<void()> ended) { m_ended = std::move(ended); }
    // How the unit that ended last ended; nothing before the first.
    const std::optional<UnitOutcome>& LastOutcome() const { return m_lastOutcome; }
    // Any thread: the recorder (nullptr when units are not recorded), where
    // it records, and the unit begun and not yet handed to it.
    UnitRecorder* Recorder() const { return m_recorder.get(); }
    const RecordTarget& Target() const { return m_target; }
    const UnitsUnderWay& UnderWay() const { return m_underWay; }

  private:
    void OnLineEvent(const PortEvent& event) override;
    void OnUnitEnded(const UnitRecord& unit) override;
    // From any thread: `text` as one line, on the UI thread.
    void Tell(const std::string& text);
    std::string PortLabel() const;
    void OpenRecorder(const CIniFile& settings);

    PortCore& m_core;
    UiThreadCalls& m_ui;
    const LogLine m_log;
    // Declared before the recorder: it outlives the recorder's threads,
    // which post through it. Lines still queued at the end go unshown.
    CallGate m_lines;
    RecordTarget m_target;  // empty while there is no recorder
    std::unique_ptr<UnitRecorder> m_recorder;
    bool m_closed = false;
    std::function<void()> m_ended;
    std::optional<UnitOutcome> m_lastOutcome;
    UnitsUnderWay m_underWay;
    UnitLine m_line;
};

}  // namespace vantrel
