#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "boxsim/boot_loader_peer.h"
#include "boxsim/box_line.h"
#include "boxsim/output_queue.h"
#include "boxsim/peer_options.h"
#include "boxsim/run_result.h"
#include "platform/unique_fd.h"

namespace vantrel {

// What a running stand-in has done so far, readable from any thread.
struct RunProgress {
    PeerCounters counters;
    std::uint64_t bytesWritten = 0;
    bool lineOpen = false;  // the tool holds the line open (as far as the stand-in knows)
};

// Serves one line with a BootLoaderPeer: waits in poll(2) for the tool's
// bytes, the peer's timers, room to write and a stop request, and nothing
// else. Run blocks, so a test runs it on its own thread and ends it with
// RequestStop; Progress may be read meanwhile.
class BoxSimRunner {
  public:
    using Clock = std::chrono::steady_clock;
    using ReportSink = std::function<void(const std::string& line)>;

    // After the run has ended the line stays open this long, or until the
    // tool closes it: closing a pseudo-terminal's master throws away what
    // the tool has not read yet, the last answer included.
    static constexpr std::chrono::milliseconds kLingerAfterEnd{1000};

    // `reportSink` receives each report line as it happens, on the thread
    // that runs Run.
    BoxSimRunner(BoxLine line, PeerOptions options, ReportSink reportSink = {});

    // The run also stops when `fd` becomes readable (a signalfd, say).
    void StopWhenReadable(int fd) { m_externalStop = fd; }

    // Runs until the update has ended (one-shot) or a stop request, the line
    // closing or failing. Call once.
    RunResult Run();
    // Any thread, any time, also before Run.
    void RequestStop();
    RunProgress Progress() const;

  private:
    enum class WriteOutcome { kOk, kVanished, kFailed };
    enum class ReadOutcome { kOk, kClosed, kFailed };

    // Writes what is due and fires the peer's idle timeout; an end when the
    // run is over.
    std::optional<RunResult::End> DoDueWork(Clock::time_point now);
    // Sleeps in poll(2) until the next event or deadline and handles it.
    std::optional<RunResult::End> WaitForEvents();
    std::optional<RunResult::End> OnLineClosed();
    void Enqueue(PeerSteps steps, Clock::time_point now);
    WriteOutcome WriteDue(Clock::time_point now);
    ReadOutcome ReadOnce(short events, Clock::time_point now);
    void TakeReports();
    void Report(std::string line);
    void Publish();
    std::optional<Clock::time_point> IdleDeadline() const;

    BoxLine m_line;
    const bool m_stayAfterEnd;
    BootLoaderPeer m_peer;
    ReportSink m_reportSink;
    UniqueFd m_stopEvent;
    int m_stopEventError;
    int m_externalStop = -1;
    OutputQueue m_queue;
    bool m_open = false;  // the tool holds the line open, as far as the stand-in knows
    bool m_waitingToWrite = false;
    std::optional<Clock::time_point> m_lingerUntil;
    Clock::time_point m_idleSince;
    std::uint64_t m_bytesWritten = 0;
    std::vector<std::string> m_reports;

    mutable std::mutex m_progressMutex;
    RunProgress m_progress;
};

}  // namespace vantrel
