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

Station::Station(StationConfig config, std::FILE* out, UnitSink onUnit)
    : m_config(std::move(config)),
      m_out(out),
      m_onUnit(std::move(onUnit)),
      m_width(m_config.width) {}

int Station::Run(const StopRequested& stopRequested) {
    for (PortRunnerConfig port : m_config.ports) {
        port.loop = m_config.loop;
        port.detectPorts = [this] { return m_discovery.Detect(); };
        port.reportProgress = m_config.output == StationOutput::kJson;
        m_runners.push_back(std::make_unique<PortRunner>(
            std::move(port), [this](StationEvent event) { Queue(std::move(event)); }));
    }
    for (auto& runner : m_runners) {
        runner->Start();
    }
    bool cancelling = false;
    auto lastRedraw = std::chrono::steady_clock::time_point{};
    for (;;) {
        const bool allFinished = std::all_of(m_runners.begin(), m_runners.end(),
                                             [](const auto& runner) { return runner->Finished(); });
        const StopStep asked = stopRequested();
        if (asked == StopStep::kFinishUnderWay && !m_finishing && !cancelling) {
            m_finishing = true;
            for (auto& runner : m_runners) {
                runner->FinishAndStop();
            }
            StationEvent finishing;
            finishing.kind = StationEvent::Kind::kFinishing;
            Queue(std::move(finishing));
        }
        if (asked == StopStep::kCancelUnderWay && !cancelling) {
            cancelling = true;
            for (auto& runner : m_runners) {
                runner->RequestStop();
            }
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
    for (auto& runner : m_runners) {
        runner->Join();
    }
    Drain();
    if (m_config.output != StationOutput::kJson) {
        std::vector<PortSnapshot> ports;
        for (const auto& runner : m_runners) {
            ports.push_back(runner->Snapshot());
        }
        WriteText(m_out, SummaryTable(ports));
    }
    FlushOutput(m_out);
    return ExitStatus();
}

void Station::Queue(StationEvent event) {
    // Progress waits for the next turn of the loop: it goes out at most once
    // a second, and waking the station at every block would cost more.
    const bool wake = event.kind != StationEvent::Kind::kProgress;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
        m_wakingEventQueued = m_wakingEventQueued || wake;
    }
    if (wake) {
        m_queued.notify_one();
    }
}

void Station::Drain() {
    std::deque<StationEvent> events;
    {
        std::lock_guard lock(m_mutex);
        events.swap(m_events);
        m_wakingEventQueued = false;
    }
    for (StationEvent& event : events) {
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
        if (event.kind == StationEvent::Kind::kImageChanged && !m_imageChanged) {
            // Every port stops starting units: none is sent an image that
            // was not the one checked and recorded at the start.
            m_imageChanged = true;
            WriteText(stderr, "vantrel-station: error: the image changed during the shift: " +
                                  event.text + "\n");
            for (auto& runner : m_runners) {
                runner->HaltNewUnits(event.text);
            }
        }
        if (event.kind == StationEvent::Kind::kBoot) {
            m_underWay.Begin(event.label, event.device, event.time);
        }
        if (event.unit) {
            m_progress.Drop(event.label);
            ++m_unitsEnded;
            if (event.unit->outcome != UnitOutcome::kCompleted) {
                ++m_unitsNotCompleted;
            }
            m_onUnit(*event.unit);
            m_underWay.End(event.label);
        }
        Show(event);
    }
    for (const StationEvent& progress : m_progress.Due(std::chrono::steady_clock::now())) {
        Show(progress);
    }
    FlushOutput(m_out);
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
    for (const auto& runner : m_runners) {
        ports.push_back(runner->Snapshot());
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
