#include "station/port_runner.h"

#include "engine/image_digest.h"
#include "platform/executable_path.h"
#include "platform/ui_thread_call.h"
#include "records/unit_identity.h"
#include "serial/open_error.h"
#include "station/readback_naming.h"
#include "station/station_view.h"
#include "station/unit_tracker.h"
#include "ui/control_ids.h"
#include "ui/updater_dlg.h"

namespace vantrel {
namespace {

// How often the port's thread looks at a stop request, a stalled box and a
// lost line when nothing arrives; each block's answer wakes it anyway. A
// station waits for boxes most of the day: a quarter of a second keeps its
// sixteen idle ports from waking 160 times a second.
constexpr std::chrono::milliseconds kPollInterval{250};

}  // namespace

PortRunner::PortRunner(PortRunnerConfig config, Report report)
    : m_config(std::move(config)), m_report(std::move(report)) {
    m_snapshot.label = m_config.label;
    m_snapshot.device = m_config.device ? m_config.device->path : "";
}

PortRunner::~PortRunner() {
    RequestStop();
    Join();
}

void PortRunner::Start() {
    m_thread = std::thread(&PortRunner::Run, this);
}

void PortRunner::RequestStop() {
    m_stop.store(true);
}

void PortRunner::HaltNewUnits(std::string reason) {
    {
        std::lock_guard lock(m_mutex);
        m_haltReason = std::move(reason);
    }
    m_noNewUnits.store(true);
}

void PortRunner::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

PortSnapshot PortRunner::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

void PortRunner::Run() {
    {
        // The UI thread's objects are made on it and gone before Finished().
        UiThreadCalls ui;
        StationView view(m_config.image);
        CUpdaterDlg dlg(view, ui, ApplicationName(), m_config.silentLineHintDelay);
        if (m_config.device) {
            dlg.SetPortDevice(m_config.device);
        }
        if (!m_config.pinnedSha256.empty()) {
            dlg.PinImageSha256(m_config.pinnedSha256);
        }
        dlg.OnInitDialog(m_config.portNumber - 1);
        if (OpenUntilConnected(dlg, view, ui)) {
            dlg.OnOpenImage();
            if (dlg.ImageKind() == 0) {
                Update([&](PortSnapshot& s) {
                    s.phase = PortPhase::kFailed;
                    s.reason = view.Log().LastLine();
                });
            } else {
                while (RunUnit(dlg, view, ui) && m_config.loop && !m_stop.load() &&
                       !m_noNewUnits.load() && OpenUntilConnected(dlg, view, ui)) {
                }
            }
        }
    }
    if (m_noNewUnits.load()) {
        Update([&](PortSnapshot& s) {
            s.phase = PortPhase::kImageChanged;
            s.reason = m_haltReason;
        });
    }
    m_finished.store(true);
}

bool PortRunner::OpenUntilConnected(CUpdaterDlg& dlg, StationView& view, UiThreadCalls& ui) {
    std::string reported;
    for (;;) {
        const std::string device = dlg.Comm().Device().path;
        if (dlg.Comm().IsConnected() != 0) {
            if (!m_announcedOpen) {
                Update([&](PortSnapshot& s) {
                    s.phase = PortPhase::kOpening;
                    s.device = device;
                    s.reason.clear();
                });
                m_report({StationEvent::Kind::kOpened, m_config.label, device, {}, {}});
                m_announcedOpen = true;
            }
            return true;
        }
        // A line lost while no unit ran (the reader saw it go before the next
        // Start) is told as a loss, as Start would have told it. The reader
        // posts the loss just after it marks the port closed: let it arrive.
        if (m_announcedOpen) {
            ui.WaitAndRunPending(kPollInterval);
            if (!ReportLoss(view, device)) {
                return false;
            }
        }
        // A port that was lost is opened again at once; one that failed to
        // open says why, once, not at every try.
        if (dlg.Comm().LastOpenError().kind != OpenErrorKind::kNone) {
            const std::string reason = DescribeOpenError(dlg.Comm().LastOpenError());
            Update([&](PortSnapshot& s) {
                s.phase = PortPhase::kNotOpened;
                s.device = device;
                s.reason = reason;
            });
            if (reason != reported) {
                m_report({StationEvent::Kind::kNotOpened, m_config.label, device, reason, {}});
                reported = reason;
            }
            if (!m_config.loop || !Pause(ui, m_config.reopenInterval)) {
                return false;
            }
        } else if (!m_config.loop || m_stop.load()) {
            return false;
        }
        view.ClearLog();
        dlg.OnCommand(kIdOpenPort);
    }
}

bool PortRunner::RunUnit(CUpdaterDlg& dlg, StationView& view, UiThreadCalls& ui) {
    if (m_stop.load() || m_noNewUnits.load()) {
        return false;
    }
    UnitRecord base = m_config.unitTemplate;
    base.id = NewUnitId();
    base.portLabel = m_config.label;
    UnitTracker unit(dlg, std::move(base));
    if (m_config.readbackDir) {
        dlg.SetReadbackFile(
            (*m_config.readbackDir / ReadbackFileName(m_config.label, unit.Unit().start)).string());
    }
    dlg.OnStart();
    if (!dlg.SessionRunning()) {
        // A line lost between two units is found by Start; a loop opens it again.
        if (dlg.Comm().IsConnected() == 0) {
            return ReportLoss(view, unit.Unit().device);
        }
        if (!m_config.pinnedSha256.empty() && dlg.LoadedImageSha256() != m_config.pinnedSha256) {
            ReportImageChange(dlg);
            return false;
        }
        Update([&](PortSnapshot& s) {
            s.phase = PortPhase::kFailed;
            s.reason = view.GetText(kIdStatusLine);
        });
        return false;
    }
    unit.Started(dlg);
    Update([&](PortSnapshot& s) {
        s.phase = PortPhase::kWaitingBoot;
        s.reason.clear();
        s.blocksDone = 0;
        s.blocksTotal = unit.Unit().blocksInImage;
        s.framesSentAgain = 0;
        s.secondsSinceBoot = 0;
    });
    while (dlg.SessionRunning()) {
        ui.WaitAndRunPending(kPollInterval);
        if (unit.SawBoot(dlg)) {
            Update([](PortSnapshot& s) { s.phase = PortPhase::kUpdating; });
            m_report({StationEvent::Kind::kBoot, m_config.label, unit.Unit().device, {}, {}});
        }
        Update([&](PortSnapshot& s) {
            s.blocksDone = dlg.SessionProgress().blockCounter;
            s.framesSentAgain = dlg.FramesSentAgain();
            s.secondsSinceBoot = unit.SecondsSinceBoot();
        });
        if (unit.Ending() != UnitEnding::kNone || !dlg.SessionRunning()) {
            continue;
        }
        // A line waits idle for the next box in a loop: only a box that has
        // begun can stall.
        const bool timedOut =
            m_config.timeoutSeconds && unit.TimedOut(dlg, *m_config.timeoutSeconds, m_config.loop);
        // A loop's wait for the next box is no unit yet: it ends when no
        // new unit may start.
        const bool noBoxToWaitFor = m_noNewUnits.load() && m_config.loop && !unit.Booted();
        if (m_stop.load() || noBoxToWaitFor) {
            unit.Cancel(dlg, UnitEnding::kCancelled);
        } else if (timedOut) {
            unit.Cancel(dlg, UnitEnding::kTimedOut);
        } else if (dlg.Comm().IsConnected() == 0) {
            unit.Cancel(dlg, UnitEnding::kLineLost);
        }
    }
    // In a loop, a wait that no box answered is no unit.
    if (m_config.loop && !unit.Booted() && unit.Ending() != UnitEnding::kTimedOut) {
        return dlg.Comm().IsConnected() == 0 && ReportLoss(view, unit.Unit().device);
    }
    const UnitRecord ended = unit.Finish(dlg, view.Log());
    ShowEnd(ended);
    m_report({StationEvent::Kind::kUnitEnd, m_config.label, ended.device, {}, ended});
    return true;
}

void PortRunner::ReportImageChange(const CUpdaterDlg& dlg) {
    const auto& loaded = dlg.LoadedImageSha256();
    const std::string text =
        (loaded ? "its bytes now have SHA-256 " + ShortDigest(*loaded) : "it cannot be read") +
        ", the shift's image has " + ShortDigest(m_config.pinnedSha256) + "; no new unit starts";
    HaltNewUnits(text);
    m_report(
        {StationEvent::Kind::kImageChanged, m_config.label, dlg.Comm().Device().path, text, {}});
}

bool PortRunner::ReportLoss(const StationView& view, const std::string& device) {
    m_announcedOpen = false;
    const std::string loss = view.Log().LastLine();
    Update([&](PortSnapshot& s) {
        s.phase = PortPhase::kLineLost;
        s.reason = loss;
    });
    m_report({StationEvent::Kind::kLost, m_config.label, device, loss, {}});
    return m_config.loop && !m_stop.load();
}

void PortRunner::ShowEnd(const UnitRecord& unit) {
    const bool completed = unit.outcome == UnitOutcome::kCompleted;
    // A unit that ended with the line has told the loss.
    if (unit.outcome == UnitOutcome::kLineLost) {
        m_announcedOpen = false;
    }
    Update([&](PortSnapshot& s) {
        s.phase = completed                                 ? PortPhase::kDone
                  : unit.outcome == UnitOutcome::kLineLost  ? PortPhase::kLineLost
                  : unit.outcome == UnitOutcome::kCancelled ? PortPhase::kCancelled
                                                            : PortPhase::kFailed;
        s.reason = completed ? "" : unit.reason;
        s.blocksDone = unit.blocksAcknowledged;
        ++(completed ? s.unitsCompleted : s.unitsFailed);
    });
}

bool PortRunner::Pause(UiThreadCalls& ui, std::chrono::milliseconds length) {
    const auto until = std::chrono::steady_clock::now() + length;
    while (!m_stop.load() && std::chrono::steady_clock::now() < until) {
        ui.WaitAndRunPending(kPollInterval);
    }
    return !m_stop.load();
}

}  // namespace vantrel
