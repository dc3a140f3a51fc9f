#include "station/port_runner.h"

#include "core/open_outcome.h"
#include "core/port_core.h"
#include "core/port_request.h"
#include "engine/image_digest.h"
#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "platform/ui_thread_call.h"
#include "ports/port_discovery.h"
#include "records/unit_identity.h"
#include "serial/open_error.h"
#include "station/readback_naming.h"
#include "unit/unit_line.h"

namespace vantrel {
namespace {

// How often the port's thread looks for a stop request when nothing else
// wakes it. A station waits for boxes most of the day: a quarter of a
// second keeps its sixteen idle ports from waking 160 times a second.
constexpr std::chrono::milliseconds kStopCheckInterval{250};

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000 + 0.5));
}

}  // namespace

PortRunner::PortRunner(PortRunnerConfig config, Report report)
    : m_config(std::move(config)),
      m_report(std::move(report)),
      m_tie(m_config.device ? m_config.device->path : "") {
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
    PortSnapshot snapshot = m_snapshot;
    if (m_bootedAt && snapshot.phase == PortPhase::kUpdating) {
        snapshot.secondsSinceBoot =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - *m_bootedAt).count();
    }
    return snapshot;
}

std::string PortRunner::UnitLog() const {
    std::lock_guard lock(m_mutex);
    return m_unitLog.Text();
}

std::uint64_t PortRunner::UnitLogChanges() const {
    std::lock_guard lock(m_mutex);
    return m_unitLogChanges;
}

void PortRunner::Run() {
    {
        // The UI thread's objects are made on it and gone before Finished().
        UiThreadCalls ui;
        PortCore core(ui,
                      {m_config.label, LookUpSettingsFile().path, m_config.silentLineHintDelay});
        UnitRules rules;
        if (m_config.timeoutSeconds) {
            rules.timeout = Milliseconds(*m_config.timeoutSeconds);
        }
        // A line waits idle for the next box in a loop: only a box that has
        // begun is a unit, and only one that has begun can stall.
        rules.unitBeginsAtBoot = m_config.loop;
        UnitLine line(core, ui, rules, this);
        UnitRecord unit = m_config.unitTemplate;
        unit.portLabel = m_config.label;
        line.SetUnitTemplate(std::move(unit));
        if (!m_config.pinnedSha256.empty()) {
            core.PinImageSha256(m_config.pinnedSha256);
        }
        Open(core, /*identity=*/false);
        if (OpenUntilConnected(core, line, ui)) {
            while (RunUnit(core, line, ui) && m_config.loop && TakesNewBoxes() &&
                   OpenUntilConnected(core, line, ui)) {
            }
        }
    }
    if (m_noNewUnits.load()) {
        Update([&](PortSnapshot& s) {
            if (!m_haltReason.empty()) {
                s.phase = PortPhase::kImageChanged;
                s.reason = m_haltReason;
            } else if (s.phase == PortPhase::kOpening || s.phase == PortPhase::kWaitingBoot) {
                // A wait says it ended; the last unit's result stays in sight.
                s.phase = PortPhase::kStopped;
                s.reason = "no new box taken";
            }
        });
    }
    m_finished.store(true);
}

void PortRunner::Open(PortCore& core, bool identity) {
    CIniFile settings;
    settings.SetPath(LookUpSettingsFile().path);
    const bool opened =
        core.Open(RequestForPort(m_config.portNumber, settings, DetectPorts(), m_config.device));
    // The first open names its device only when it failed, as the window does.
    core.AppendLog(OpenOutcomeLog(core, identity || !opened));
}

bool PortRunner::OpenUntilConnected(PortCore& core, const UnitLine& line, UiThreadCalls& ui) {
    std::string reported;
    for (;;) {
        const std::string device = core.Device().path;
        if (core.IsOpen()) {
            if (!m_announcedOpen) {
                Update([&](PortSnapshot& s) {
                    s.phase = PortPhase::kOpening;
                    s.device = device;
                    s.reason.clear();
                });
                m_report(Event(StationEvent::Kind::kOpened, device));
                m_announcedOpen = true;
                TieTo(device);
            }
            return true;
        }
        // A line lost while no unit ran (the reader saw it go before the next
        // Start) is told as a loss, as Start would have told it. The reader
        // posts the loss just after it marks the port closed: let it arrive.
        if (m_announcedOpen) {
            ui.WaitAndRunPending(kStopCheckInterval);
            if (!ReportLoss(line.PortLoss(), device)) {
                return false;
            }
        }
        // A port that was lost is opened again at once; one that failed to
        // open says why, once, not at every try.
        if (core.LastOpenError().kind != OpenErrorKind::kNone) {
            const std::string reason = DescribeOpenError(core.LastOpenError());
            Update([&](PortSnapshot& s) {
                s.phase = PortPhase::kNotOpened;
                s.device = device;
                s.reason = reason;
            });
            if (reason != reported) {
                m_report(Event(StationEvent::Kind::kNotOpened, device, reason));
                reported = reason;
            }
            if (!m_config.loop || !Pause(ui, m_config.reopenInterval)) {
                return false;
            }
        } else if (!m_config.loop || !TakesNewBoxes()) {
            return false;
        }
        // Nothing is opened, and so nothing sent, that is not this slot's.
        if (!RefuseForeignDevice(reported).empty()) {
            if (!m_config.loop || !Pause(ui, m_config.reopenInterval)) {
                return false;
            }
            continue;
        }
        Open(core, /*identity=*/true);
    }
}

bool PortRunner::RunUnit(PortCore& core, UnitLine& line, UiThreadCalls& ui) {
    if (m_stop.load() || m_noNewUnits.load()) {
        return false;
    }
    if (m_config.readbackDir) {
        core.SetReadbackFile(
            (*m_config.readbackDir / ReadbackFileName(m_config.label, UnitRecord::Clock::now()))
                .string());
    }
    m_ended.reset();
    if (!core.Start(m_config.image)) {
        // A line lost between two units is found by Start; a loop opens it again.
        if (!core.IsOpen()) {
            return ReportLoss(line.PortLoss(), core.Device().path);
        }
        if (!m_config.pinnedSha256.empty() && core.LoadedSha256() != m_config.pinnedSha256) {
            ReportImageChange(core);
            return false;
        }
        Update([&](PortSnapshot& s) {
            s.phase = PortPhase::kFailed;
            s.reason = line.StartRefusal();
        });
        return false;
    }
    Update([&](PortSnapshot& s) {
        s.phase = PortPhase::kWaitingBoot;
        s.reason.clear();
        s.blocksDone = 0;
        s.blocksTotal = line.CurrentRecord().blocksInImage;
        s.framesSentAgain = 0;
        s.secondsSinceBoot = 0;
        m_bootedAt.reset();
    });
    line.RunUntilEnded(ui, kStopCheckInterval, [&]() -> std::optional<UnitEnding> {
        // A loop's wait for the next box is no unit yet: it ends when no
        // new unit may start.
        const bool noBoxToWaitFor = m_noNewUnits.load() && m_config.loop && !line.BoxAnnounced();
        if (m_stop.load() || noBoxToWaitFor) {
            return UnitEnding::kStopped;
        }
        return std::nullopt;
    });
    if (!m_ended) {
        // In a loop, a wait that no box answered is no unit.
        return !core.IsOpen() && ReportLoss(line.PortLoss(), core.Device().path);
    }
    ShowEnd(*m_ended);
    StationEvent ended = Event(StationEvent::Kind::kUnitEnd, m_ended->device);
    ended.unit = *m_ended;
    m_report(std::move(ended));
    return true;
}

StationEvent PortRunner::Event(StationEvent::Kind kind, std::string device,
                               std::string text) const {
    StationEvent event;
    event.kind = kind;
    event.label = m_config.label;
    event.device = std::move(device);
    event.text = std::move(text);
    return event;
}

void PortRunner::OnLineEvent(const PortEvent& event) {
    if (const auto* log = std::get_if<port_event::LogAppended>(&event.data)) {
        std::lock_guard lock(m_mutex);
        m_unitLog.Append(log->text);
        ++m_unitLogChanges;
    } else if (std::holds_alternative<port_event::LogCleared>(event.data)) {
        std::lock_guard lock(m_mutex);
        m_unitLog.Clear();
        ++m_unitLogChanges;
    }
}

void PortRunner::OnUnitProgress(const UnitProgress& progress) {
    bool announced = false;
    std::string device;
    Update([&](PortSnapshot& s) {
        if (progress.boxAnnounced && !m_bootedAt) {
            m_bootedAt = progress.bootedAt;
            s.phase = PortPhase::kUpdating;
            announced = true;
        }
        s.blocksDone = progress.blocksAcknowledged;
        s.framesSentAgain = progress.framesSentAgain;
        device = s.device;
    });
    if (announced) {
        m_report(Event(StationEvent::Kind::kBoot, device));
    }
    if (m_config.reportProgress) {
        StationEvent event = Event(StationEvent::Kind::kProgress, device);
        event.progress = {progress.blocksAcknowledged, progress.blocksTotal,
                          progress.framesSentAgain};
        m_report(std::move(event));
    }
}

void PortRunner::OnUnitEnded(const UnitRecord& unit) {
    m_ended = unit;
}

void PortRunner::ReportImageChange(const PortCore& core) {
    const auto& loaded = core.LoadedSha256();
    const std::string text =
        (loaded ? "its bytes now have SHA-256 " + ShortDigest(*loaded) : "it cannot be read") +
        ", the shift's image has " + ShortDigest(m_config.pinnedSha256) + "; no new unit starts";
    HaltNewUnits(text);
    m_report(Event(StationEvent::Kind::kImageChanged, core.Device().path, text));
}

bool PortRunner::ReportLoss(const std::string& loss, const std::string& device) {
    m_announcedOpen = false;
    Update([&](PortSnapshot& s) {
        s.phase = PortPhase::kLineLost;
        s.reason = loss;
    });
    m_report(Event(StationEvent::Kind::kLost, device, loss));
    return m_config.loop && TakesNewBoxes();
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
        if (m_bootedAt) {
            s.secondsSinceBoot =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - *m_bootedAt)
                    .count();
        }
        s.units.Count(unit.outcome);
    });
}

std::vector<DetectedPort> PortRunner::DetectPorts() const {
    return m_config.detectPorts ? m_config.detectPorts() : DetectSerialPorts();
}

void PortRunner::TieTo(const std::string& device) {
    // A PORT number is whatever the port map decides.
    if (!m_config.device) {
        return;
    }
    const std::vector<DetectedPort> ports = DetectPorts();
    m_tie.Opened(ports);
    if (m_advised) {
        return;
    }
    m_advised = true;
    const std::string advice = m_tie.Advice(ports);
    if (!advice.empty()) {
        Update([&](PortSnapshot& s) { s.advice = advice; });
        m_report(Event(StationEvent::Kind::kAdvice, device, advice));
    }
}

std::string PortRunner::RefuseForeignDevice(std::string& reported) {
    const std::string refusal = m_config.device ? m_tie.Refusal(DetectPorts()) : std::string();
    if (refusal.empty()) {
        return refusal;
    }
    Update([&](PortSnapshot& s) {
        s.phase = PortPhase::kNotOpened;
        s.reason = refusal;
    });
    if (refusal != reported) {
        reported = refusal;
        m_report(Event(StationEvent::Kind::kNotOpened, m_config.device->path, refusal));
        std::lock_guard lock(m_mutex);
        m_unitLog.Append(refusal + "\r\n");
        ++m_unitLogChanges;
    }
    return refusal;
}

bool PortRunner::Pause(UiThreadCalls& ui, std::chrono::milliseconds length) {
    const auto until = std::chrono::steady_clock::now() + length;
    while (TakesNewBoxes() && std::chrono::steady_clock::now() < until) {
        ui.WaitAndRunPending(kStopCheckInterval);
    }
    return TakesNewBoxes();
}

}  // namespace vantrel
