#include "boxsim/box_sim_runner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/poll_deadline.h"
#include "platform/stop_signal.h"

namespace vantrel {
namespace {

constexpr std::size_t kReadChunk = 4096;

std::optional<BoxSimRunner::Clock::time_point> Earliest(
    std::optional<BoxSimRunner::Clock::time_point> a,
    std::optional<BoxSimRunner::Clock::time_point> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

bool Readable(const pollfd& entry) {
    return entry.fd >= 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

BoxSimRunner::BoxSimRunner(BoxLine line, PeerOptions options, ReportSink reportSink)
    : m_line(std::move(line)),
      m_stayAfterEnd(options.stayAfterEnd),
      m_peer(std::move(options)),
      m_reportSink(std::move(reportSink)),
      m_stopEvent(CreateStopSignal()),
      m_stopEventError(m_stopEvent.IsValid() ? 0 : errno) {}

RunResult BoxSimRunner::Run() {
    const Clock::time_point start = Clock::now();
    m_open = !m_line.HasOpenWatch();
    if (m_open) {
        m_peer.Start();
    }
    m_idleSince = start;
    std::optional<RunResult::End> end;
    if (!m_stopEvent.IsValid()) {
        Report(std::string("cannot create the stop event: ") + std::strerror(m_stopEventError));
        end = RunResult::End::kLineError;
    }
    while (!end) {
        end = DoDueWork(Clock::now());
        if (!end) {
            end = WaitForEvents();
        }
    }
    m_line.Close();
    TakeReports();
    m_open = false;
    Publish();

    RunResult result;
    result.end = *end;
    result.counters = m_peer.Counters();
    result.bytesWritten = m_bytesWritten;
    result.elapsed = Clock::now() - start;
    result.reports = std::move(m_reports);
    result.receivedModule = m_peer.ReceivedModule();
    return result;
}

void BoxSimRunner::RequestStop() {
    RaiseStopSignal(m_stopEvent.Get());
}

RunProgress BoxSimRunner::Progress() const {
    const std::lock_guard lock(m_progressMutex);
    return m_progress;
}

std::optional<RunResult::End> BoxSimRunner::DoDueWork(Clock::time_point now) {
    while (true) {
        TakeReports();
        Publish();
        if (!m_open) {
            return std::nullopt;
        }
        const WriteOutcome written = WriteDue(now);
        if (written == WriteOutcome::kVanished) {
            return RunResult::End::kVanished;
        }
        if (written == WriteOutcome::kFailed) {
            return RunResult::End::kLineError;
        }
        const auto idleDeadline = IdleDeadline();
        if (!idleDeadline || *idleDeadline > now) {
            break;
        }
        Enqueue(m_peer.OnIdleTimeout(), now);
    }
    if (m_peer.Finished() && m_queue.Empty() && !m_stayAfterEnd) {
        m_lingerUntil = m_lingerUntil.value_or(now + kLingerAfterEnd);
        if (*m_lingerUntil <= now) {
            return RunResult::End::kFinished;
        }
    }
    return std::nullopt;
}

std::optional<RunResult::End> BoxSimRunner::WaitForEvents() {
    const Clock::time_point before = Clock::now();
    std::array<pollfd, 4> entries{{{m_stopEvent.Get(), POLLIN, 0},
                                   {m_externalStop, POLLIN, 0},
                                   {m_line.OpenWatch(), POLLIN, 0},
                                   {m_open ? m_line.Fd() : -1, POLLIN, 0}}};
    std::optional<Clock::time_point> deadline = m_lingerUntil;
    if (m_open) {
        deadline = Earliest(deadline, IdleDeadline());
        if (m_waitingToWrite) {
            entries[3].events |= POLLOUT;
        } else {
            deadline = Earliest(deadline, m_queue.FrontDue());
        }
    }
    if (::poll(entries.data(), entries.size(), PollTimeout(deadline, before)) < 0 &&
        errno != EINTR) {
        Report(std::string("waiting on the line failed: ") + std::strerror(errno));
        return RunResult::End::kLineError;
    }
    const Clock::time_point now = Clock::now();
    if (Readable(entries[0]) || Readable(entries[1])) {
        return RunResult::End::kStopped;
    }
    if (Readable(entries[2]) && m_line.DrainOpenWatch() && !m_open && m_line.FarEndOpen()) {
        m_open = true;
        m_peer.Start();
        m_idleSince = now;
    }
    if ((entries[3].revents & POLLOUT) != 0) {
        m_waitingToWrite = false;
    }
    if (!Readable(entries[3])) {
        return std::nullopt;
    }
    switch (ReadOnce(entries[3].revents, now)) {
        case ReadOutcome::kFailed:
            return RunResult::End::kLineError;
        case ReadOutcome::kClosed:
            return OnLineClosed();
        default:
            return std::nullopt;
    }
}

std::optional<RunResult::End> BoxSimRunner::OnLineClosed() {
    if (m_peer.Finished()) {
        return RunResult::End::kFinished;
    }
    m_peer.LineClosed();
    TakeReports();
    m_queue.Clear();
    m_waitingToWrite = false;
    if (m_peer.Finished() || !m_line.HasOpenWatch()) {
        Report("the tool closed the line");
        return RunResult::End::kLineClosed;
    }
    // Bench mode on a pseudo-terminal: the watch reports the next open.
    Report("the tool closed the line; waiting for it to open the line again");
    m_open = false;
    return std::nullopt;
}

void BoxSimRunner::Enqueue(PeerSteps steps, Clock::time_point now) {
    m_queue.Append(steps, now);
    m_idleSince = now;
}

BoxSimRunner::WriteOutcome BoxSimRunner::WriteDue(Clock::time_point now) {
    while (!m_waitingToWrite && !m_queue.Empty() && *m_queue.FrontDue() <= now) {
        if (m_queue.FrontClosesLine()) {
            m_queue.Clear();
            m_line.Close();
            return WriteOutcome::kVanished;
        }
        const auto bytes = m_queue.FrontBytes();
        if (bytes.empty()) {
            m_queue.Consume(0, now);
            continue;
        }
        const ssize_t written = ::write(m_line.Fd(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_waitingToWrite = true;
            } else if (errno != EINTR) {
                Report(std::string("writing to the line failed: ") + std::strerror(errno));
                return WriteOutcome::kFailed;
            }
            continue;
        }
        m_bytesWritten += static_cast<std::uint64_t>(written);
        m_queue.Consume(static_cast<std::size_t>(written), now);
        m_idleSince = now;
    }
    return WriteOutcome::kOk;
}

BoxSimRunner::ReadOutcome BoxSimRunner::ReadOnce(short events, Clock::time_point now) {
    std::array<std::uint8_t, kReadChunk> buffer;
    const ssize_t count = ::read(m_line.Fd(), buffer.data(), buffer.size());
    if (count > 0) {
        Enqueue(m_peer.Receive(std::span(buffer).first(static_cast<std::size_t>(count))), now);
        return ReadOutcome::kOk;
    }
    // A pseudo-terminal's master reads EIO once no one holds the far end
    // open; a serial device reads end-of-file after a hang-up.
    if (count == 0 || errno == EIO) {
        return ReadOutcome::kClosed;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        // A hang-up or error that leaves nothing to read would wake every
        // poll at once: the line counts as closed.
        const bool lineDown = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0 && errno != EINTR;
        return lineDown ? ReadOutcome::kClosed : ReadOutcome::kOk;
    }
    Report(std::string("reading from the line failed: ") + std::strerror(errno));
    return ReadOutcome::kFailed;
}

void BoxSimRunner::TakeReports() {
    for (std::string& line : m_peer.TakeReports()) {
        Report(std::move(line));
    }
}

void BoxSimRunner::Report(std::string line) {
    if (m_reportSink) {
        m_reportSink(line);
    }
    m_reports.push_back(std::move(line));
}

void BoxSimRunner::Publish() {
    const std::lock_guard lock(m_progressMutex);
    m_progress = {m_peer.Counters(), m_bytesWritten, m_open};
}

std::optional<BoxSimRunner::Clock::time_point> BoxSimRunner::IdleDeadline() const {
    const auto timeout = m_peer.IdleTimeout();
    if (!timeout || !m_queue.Empty()) {
        return std::nullopt;
    }
    return m_idleSince + *timeout;
}

}  // namespace vantrel
