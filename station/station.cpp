#include "station/station.h"

#include <algorithm>

#include "station/dashboard.h"
#include "text/terminal_output.h"

namespace vantrel {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{250};
// Events wake the station at once; a stop request and a finished port are
// seen within this.
constexpr std::chrono::milliseconds kPollInterval{250};

}  // namespace

namespace {

std::vector<PortRunnerConfig> PortsOf(const StationConfig& config) {
    std::vector<PortRunnerConfig> ports = config.ports;
    for (PortRunnerConfig& port : ports) {
        port.loop = config.loop;
        port.reportProgress = config.output == StationOutput::kJson;
    }
    return ports;
}

}  // namespace

Station::Station(StationConfig config, std::FILE* out, UnitSink onUnit)
    : m_config(std::move(config)),
      m_out(out),
      m_onUnit(std::move(onUnit)),
      m_width(m_config.width),
      m_line(
          PortsOf(m_config),
          [this](std::size_t slot, StationEvent event) { Queue(slot, std::move(event)); },
          [this](std::size_t, const UnitRecord& unit) { OnUnitEnded(unit); }) {}

int Station::Run(const StopRequested& stopRequested) {
    for (std::size_t slot = 0; slot < m_line.Size(); ++slot) {
        m_line.Start(slot);
    }
    bool cancelling = false;
    auto lastRedraw = std::chrono::steady_clock::time_point{};
    for (;;) {
        const bool allFinished = m_line.AllEnded();
        const StopStep asked = stopRequested();
        if (asked == StopStep::kFinishUnderWay && !m_finishing && !cancelling) {
            m_finishing = true;
            m_line.FinishAll();
            StationEvent finishing;
            finishing.kind = StationEvent::Kind::kFinishing;
            Queue(m_line.Size(), std::move(finishing));
        }
        if (asked == StopStep::kCancelUnderWay && !cancelling) {
            cancelling = true;
            m_line.StopAll();
        }
        {
            std::unique_lock lock(m_mutex);
            m_queued.wait_for(lock, kPollInterval, [this] { return m_wakingEventQueued; });
        }
        Drain();
        const auto now = std::chrono::steady_clock::now();
        if (m_config.output == StationOutput::kDashboard &&
            (FollowTerminalWidth() || allFinished || now - lastRedraw >= kRedrawInterval)) {
            Redraw();
            lastRedraw = now;
        }
        if (allFinished) {
            break;
        }
    }
    m_line.AwaitAll();
    Drain();
    if (m_config.output != StationOutput::kJson) {
        std::vector<PortSnapshot> ports;
        for (std::size_t slot = 0; slot < m_line.Size(); ++slot) {
            ports.push_back(m_line.Snapshot(slot));
        }
        WriteText(m_out, SummaryTable(ports));
    }
    FlushOutput(m_out);
    return ExitStatus();
}

void Station::Queue(std::size_t slot, StationEvent event) {
    // Progress waits for the next turn of the loop: it goes out at most once
    // a second, and waking the station at every block would cost more.
    const bool wake = event.kind != StationEvent::Kind::kProgress;
    {
        std::lock_guard lock(m_mutex);
        m_events.emplace_back(slot, std::move(event));
        m_wakingEventQueued = m_wakingEventQueued || wake;
    }
    if (wake) {
        m_queued.notify_one();
    }
}

void Station::Drain() {
    std::deque<std::pair<std::size_t, StationEvent>> events;
    {
        std::lock_guard lock(m_mutex);
        events.swap(m_events);
        m_wakingEventQueued = false;
    }
    for (auto& [slot, event] : events) {
        if (event.kind == StationEvent::Kind::kProgress) {
            m_progress.Hold(std::move(event));
            continue;
        }
        if (event.kind == StationEvent::Kind::kNotOpened) {
            m_portsNotOpen.insert(event.label);
        }
        if (event.kind == StationEvent::Kind::kOpened) {
            m_portsNotOpen.erase(event.label);
        }
        // The station's own events are no slot's.
        if (slot < m_line.Size() && m_line.Take(slot, event)) {
            m_imageChanged = true;
            WriteText(stderr, "vantrel-station: error: the image changed during the shift: " +
                                  event.text + "\n");
        }

        Show(event);
    }
    for (const StationEvent& progress : m_progress.Due(std::chrono::steady_clock::now())) {
        Show(progress);
    }
    FlushOutput(m_out);
}

void Station::OnUnitEnded(const UnitRecord& unit) {
    m_progress.Drop(unit.portLabel);
    ++m_unitsEnded;
    if (unit.outcome != UnitOutcome::kCompleted) {
        ++m_unitsNotCompleted;
    }
    m_onUnit(unit);
}

void Station::Show(const StationEvent& event) {
    // The rows have no room for it; said once, where notices go.
    if (event.kind == StationEvent::Kind::kAdvice &&
        (m_config.output == StationOutput::kDashboard ||
         m_config.output == StationOutput::kQuiet)) {
        WriteText(stderr, "vantrel-station: " + event.label + ": " + event.text + "\n");
        return;
    }
    switch (m_config.output) {
        case StationOutput::kDashboard:
            break;  // the rows show it
        case StationOutput::kQuiet:
            if (!IsFailureEvent(event)) {
                break;
            }
            [[fallthrough]];
        case StationOutput::kLines:
            WriteText(m_out, EventLine(event) + "\n");
            break;
        case StationOutput::kJson:
            WriteBytes(m_out, EventJson(event) + "\n");
            break;
    }
}

bool Station::FollowTerminalWidth() {
    if (!m_config.resized) {
        return false;
    }
    if (const auto width = m_config.resized()) {
        m_width = *width;
        m_drawAfresh = true;
    }
    return m_drawAfresh;
}

void Station::Redraw() {
    std::vector<PortSnapshot> ports;
    for (std::size_t slot = 0; slot < m_line.Size(); ++slot) {
        ports.push_back(m_line.Snapshot(slot));
    }
    const std::vector<std::string> rows =
        DashboardRows(ports, m_config.loop, m_width, m_finishing ? kFinishingText : "");
    // The rows are escaped already; the sequence around them moves the cursor.
    // After a resize the terminal may have wrapped or reflowed the old rows
    // over lines no longer known: the screen is cleared and drawn anew.
    WriteBytes(m_out, m_drawAfresh ? DrawAfreshSequence(rows) : RedrawSequence(m_rowsShown, rows));
    m_rowsShown = m_drawAfresh ? rows.size() : std::max(m_rowsShown, rows.size());
    m_drawAfresh = false;
    FlushOutput(m_out);
}

int Station::ExitStatus() const {
    if (m_imageChanged) {
        return 1;
    }
    if (m_unitsEnded == 0) {
        return 2;
    }
    return m_unitsNotCompleted > 0 || !m_portsNotOpen.empty() ? 1 : 0;
}

}  // namespace vantrel
