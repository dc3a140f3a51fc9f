#include "unit/unit_line.h"

#include <filesystem>

#include "engine/image_file.h"
#include "records/unit_identity.h"
#include "unit/unit_reasons.h"

namespace vantrel {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

}  // namespace

UnitLine::UnitLine(PortCore& core, UiThreadCalls& ui, UnitRules rules, UnitObserver* observer)
    : m_core(core),
      m_ui(ui),
      m_rules(rules),
      m_observer(observer),
      m_later(ui),
      m_stallTimer(ui, [this] { CheckForStall(); }) {
    m_core.AddListener(*this);
}

UnitLine::~UnitLine() {
    m_core.RemoveListener(*this);
    m_stallTimer.Stop();
    m_later.Close();
}

void UnitLine::OnPortEvent(const PortEvent& event) {
    using namespace port_event;
    if (m_observer != nullptr) {
        m_observer->OnLineEvent(event);
    }
    if (const auto* session = std::get_if<SessionEvent>(&event.data)) {
        OnSession(*session);
    } else if (const auto* started = std::get_if<SessionStarted>(&event.data)) {
        Begin(*started);
    } else if (const auto* ended = std::get_if<SessionEnded>(&event.data)) {
        End(ended->end);
    } else if (const auto* opened = std::get_if<PortOpened>(&event.data)) {
        m_port = *opened;
        m_portLoss.clear();
    } else if (std::holds_alternative<PortNotOpened>(event.data)) {
        m_port.reset();
    } else if (const auto* lost = std::get_if<PortLost>(&event.data)) {
        m_portLoss = lost->reason;
        // Nothing can arrive any more: the unit ends now, not at a timeout.
        CancelLater(UnitEnding::kLineLost);
    } else if (const auto* refused = std::get_if<StartRefused>(&event.data)) {
        m_startRefusal = refused->reason;
    }
}

void UnitLine::Begin(const port_event::SessionStarted& started) {
    m_startRefusal.clear();
    m_record = m_template;
    m_record.id = NewUnitId();
    m_record.start = UnitRecord::Clock::now();
    if (m_port) {
        m_record.device = m_port->device.path;
        if (m_port->detected) {
            m_record.stableName = StableName(*m_port->detected);
            m_record.adapterSerial = m_port->detected->serial;
        }
    }
    m_record.imagePath = AbsolutePath(started.imagePath);
    m_record.imageSha256 = started.imageSha256;
    if (const ImageKindInfo* kind = FindImageKind(started.imageKind)) {
        m_record.imageKind = std::string(kind->headerText);
    }
    m_record.blocksInImage = started.blocks;
    m_unit.emplace(SteadyClock::now());
    m_unit->progress.blocksTotal = started.blocks;
    if (!m_rules.unitBeginsAtBoot) {
        WatchForStall();
    }
}

void UnitLine::OnSession(const SessionEvent& event) {
    if (!m_unit) {
        return;
    }
    UnitProgress& progress = m_unit->progress;
    switch (event.kind) {
        case SessionEvent::Kind::kBoxAnnounced:
            progress.boxAnnounced = true;
            progress.bootedAt = SteadyClock::now();
            Progressed();
            if (m_rules.unitBeginsAtBoot) {
                WatchForStall();
            }
            return;
        case SessionEvent::Kind::kMovedOn:
            Progressed();
            return;
        case SessionEvent::Kind::kBlockAcknowledged:
            progress.blocksAcknowledged = event.block;
            Progressed();
            return;
        case SessionEvent::Kind::kFrameSentAgain:
            progress.framesSentAgain = event.framesSentAgain;
            m_unit->stall.SentAgain();
            if (m_observer != nullptr) {
                m_observer->OnUnitProgress(progress);
            }
            return;
        case SessionEvent::Kind::kReadbackBlock:
            // A block the box sends again and again, never stored, is no
            // progress.
            if (event.stored) {
                Progressed();
            }
            return;
    }
}

void UnitLine::Progressed() {
    m_unit->stall.Progressed(SteadyClock::now());
    if (m_observer != nullptr) {
        m_observer->OnUnitProgress(m_unit->progress);
    }
}

void UnitLine::Cancel(UnitEnding ending) {
    if (!m_unit || m_unit->ending != UnitEnding::kNone) {
        return;
    }
    m_unit->ending = ending;
    m_unit->cancelSent = m_core.IsOpen() && m_core.State() == kBlocks;
    m_core.Cancel();
}

void UnitLine::RunUntilEnded(UiThreadCalls& ui, std::chrono::milliseconds interval,
                             const std::function<std::optional<UnitEnding>()>& cancelFor) {
    while (UnitUnderWay()) {
        ui.WaitAndRunPending(interval);
        if (const std::optional<UnitEnding> ending = cancelFor()) {
            Cancel(*ending);
        }
    }
}

void UnitLine::CancelLater(UnitEnding ending) {
    m_ui.Post(m_later, [this, ending] { Cancel(ending); });
}

void UnitLine::WatchForStall() {
    if (!m_rules.timeout || !m_unit) {
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        m_unit->stall.Deadline(*m_rules.timeout) - SteadyClock::now());
    m_stallTimer.Start(std::max(left, std::chrono::milliseconds(0)));
}

void UnitLine::CheckForStall() {
    if (!m_unit || m_unit->ending != UnitEnding::kNone) {
        return;
    }
    m_unit->stalled = m_unit->stall.Stalled(SteadyClock::now(), m_core.LastReceiveTime(),
                                            m_core.State(), *m_rules.timeout);
    if (m_unit->stalled) {
        Cancel(UnitEnding::kTimedOut);
    } else {
        WatchForStall();  // progress came meanwhile: count from it
    }
}

void UnitLine::End(const SessionEnd& end) {
    m_stallTimer.Stop();
    if (!m_unit) {
        return;
    }
    Unit unit = std::move(*m_unit);
    m_unit.reset();
    if (m_rules.unitBeginsAtBoot && !unit.progress.boxAnnounced) {
        return;  // a wait that no box answered
    }
    Finish(end, unit);
    if (m_observer != nullptr) {
        m_observer->OnUnitEnded(m_record);
    }
}

void UnitLine::Finish(const SessionEnd& end, Unit& unit) {
    UnitRecord& record = m_record;
    record.end = UnitRecord::Clock::now();
    record.seconds = std::chrono::duration<double>(SteadyClock::now() - unit.started).count();
    record.blocksAcknowledged = end.blocksAcknowledged;
    record.framesSentAgain = unit.progress.framesSentAgain;
    record.log = m_core.Log().Text();
    const std::string at = BlockText(record.blocksAcknowledged, record.blocksInImage);
    switch (unit.ending) {
        case UnitEnding::kCancelled:
        case UnitEnding::kStopped:
            record.outcome = UnitOutcome::kCancelled;
            record.cause =
                unit.ending == UnitEnding::kStopped ? UnitCause::kStopped : UnitCause::kCancelled;
            record.reason = "cancelled at " + at + (unit.cancelSent ? " (CNL sent)" : "");
            return;
        case UnitEnding::kTimedOut:
            DescribeTimeout(*unit.stalled, *m_rules.timeout, record);
            return;
        case UnitEnding::kLineLost:
            record.outcome = UnitOutcome::kLineLost;
            record.cause = UnitCause::kLineLost;
            record.reason = "the line was lost at " + at + ": " + m_portLoss;
            return;
        case UnitEnding::kNone:
            DescribeSessionEnd(end, record);
            return;
    }
}

}  // namespace vantrel
