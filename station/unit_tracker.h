#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "records/unit_record.h"
#include "station/progress_watch.h"

namespace vantrel {

class CUpdaterDlg;
class KeptLog;

// Why the program running a unit pressed Cancel, if it did.
enum class UnitEnding { kNone, kCancelled, kTimedOut, kLineLost };

// One unit from Start to its end, as the window's logic shows it, and the
// record that says how it went.
class UnitTracker {
  public:
    using SteadyClock = std::chrono::steady_clock;

    // Just before Start: the port's device as discovery knows it, and the
    // start. `unit` brings what the program knows (image, host, label).
    UnitTracker(const CUpdaterDlg& dlg, UnitRecord unit);

    const UnitRecord& Unit() const { return m_unit; }
    // Just after Start, with a session running: the blocks to write.
    void Started(const CUpdaterDlg& dlg);
    // After each round of the UI thread's calls; true the first time the
    // box has announced itself.
    bool SawBoot(const CUpdaterDlg& dlg);
    bool Booted() const { return m_bootedAt.has_value(); }
    double SecondsSinceBoot() const;
    // The --timeout rule, after each round of the UI thread's calls: whether
    // the unit has made no progress for more than `seconds`, because the box
    // fell silent or kept refusing. With `fromBoot` (a line that waits idle
    // for the next box) the clock starts once the box has announced itself.
    // When it has timed out, how it stalled is kept for the record's reason.
    bool TimedOut(const CUpdaterDlg& dlg, double seconds, bool fromBoot);

    // Presses Cancel for `ending`: a CNL goes out in block transfer.
    void Cancel(CUpdaterDlg& dlg, UnitEnding ending);
    UnitEnding Ending() const { return m_ending; }

    // Once the session has ended: the unit's record, with its log.
    UnitRecord Finish(const CUpdaterDlg& dlg, const KeptLog& log) const;

  private:
    UnitRecord m_unit;
    SteadyClock::time_point m_started;
    std::optional<SteadyClock::time_point> m_bootedAt;
    UnitEnding m_ending = UnitEnding::kNone;
    bool m_cancelSent = false;
    ProgressWatch m_progress;
    double m_timeoutSeconds = 0;
    ProgressWatch::Stall m_stall;
};

}  // namespace vantrel
