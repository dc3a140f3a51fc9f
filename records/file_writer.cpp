#include "records/file_writer.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "records/record_target.h"
#include "records/record_text.h"

namespace vantrel {
namespace {

// How long a retry on a local file that failed waits for another process's
// lock: the units are safe meanwhile, and Close must not wait long.
constexpr auto kRetryBusyTimeout = std::chrono::milliseconds(250);

}  // namespace

FileWriter::FileWriter(std::shared_ptr<RecorderState> state,
                       std::unique_ptr<SqliteRecordStore> file)
    : m_pointer(std::move(state)),
      m_shared(*m_pointer),
      m_file(std::move(file)),
      m_server(m_shared.target.server ? m_shared.target.server->name : ""),
      m_unrecorded(m_shared.options.unrecordedFolder.empty() ? DefaultUnrecordedFolder()
                                                             : m_shared.options.unrecordedFolder),
      m_lock(m_shared.mutex, std::defer_lock) {}

void FileWriter::Run() {
    m_lock.lock();
    for (;;) {
        WaitForWork();
        WarnIfServerStalled();
        const bool closing = m_shared.closing;
        if (m_shared.queue.empty() && m_shared.kept.empty()) {
            if (closing) {
                break;
            }
            continue;
        }
        if (m_failures > 0 && !closing && Clock::now() < m_retry) {
            continue;
        }
        if (WriteOldest()) {
            continue;
        }
        if (m_failures > 1 || closing) {
            KeepAside();
        }
        if (closing) {
            break;
        }
        m_retry = Clock::now() + m_shared.options.retryInterval;
    }
    m_shared.writerDone = true;
    m_shared.changed.notify_all();
}

void FileWriter::WaitForWork() {
    // Woken also when the server's stall time moves, to wait for the new one.
    const Clock::time_point stall = m_shared.StallTime();
    // Waits for `ready` until `until`, or for good when that is max().
    const auto waitFor = [&](Clock::time_point until, const std::function<bool()>& ready) {
        until == Clock::time_point::max() ? m_shared.changed.wait(m_lock, ready)
                                          : (void)m_shared.changed.wait_until(m_lock, until, ready);
    };
    if (m_failures == 0) {
        waitFor(stall, [&] {
            return !m_shared.queue.empty() || !m_shared.kept.empty() || m_shared.closing ||
                   m_shared.StallTime() != stall || Clock::now() >= stall;
        });
    } else if (!m_shared.closing) {
        waitFor(std::min(m_retry, stall),
                [&] { return m_shared.closing || m_shared.StallTime() != stall; });
    }
}

void FileWriter::WarnIfServerStalled() {
    if (Clock::now() < m_shared.StallTime()) {
        return;
    }
    m_shared.stallTold = true;
    Tell(&RecorderState::Warn, "the record server " + m_server + " has sent nothing back for " +
                                   std::to_string(m_shared.options.stallWarning.count() / 1000) +
                                   " s; units wait in " + m_file->Path());
}

bool FileWriter::WriteOldest() {
    // Kept units first: the oldest, and the unrecorded file can go once they
    // are all in.
    std::deque<UnitRecord>& from = m_shared.kept.empty() ? m_shared.queue : m_shared.kept;
    const UnitRecord& front = from.front();  // stays put: Record only appends
    m_lock.unlock();
    std::string error;
    try {
        m_file->SetBusyTimeout(m_failures > 0 ? kRetryBusyTimeout
                                              : SqliteRecordStore::kBusyTimeout);
        const UnitRecord record = SafeRecord(front);
        m_server.empty() ? m_file->Write(record) : (void)m_file->WriteAndSpool(record, m_server);
    } catch (const std::exception& failure) {
        error = failure.what();
    }
    m_lock.lock();
    if (!error.empty()) {
        if (m_failures++ == 0) {
            Tell(&RecorderState::Warn,
                 error + "; units are kept in memory until it can be written");
        }
        return false;
    }
    if (m_failures > 0) {
        Tell(&RecorderState::Notice, "the record file " + m_file->Path() + " is written again");
    }
    m_failures = 0;
    from.pop_front();
    ++m_shared.progress.stored;
    if (!m_server.empty()) {
        ++m_shared.progress.spooled;
        m_shared.spoolChanged = true;
    }
    if (&from == &m_shared.kept && m_shared.kept.empty()) {
        // Each unit in it is in the record file now.
        m_unrecorded.Remove();
        m_shared.progress.unrecordedFile.clear();
    }
    m_shared.changed.notify_all();
    return true;
}

void FileWriter::KeepAside() {
    const std::vector<UnitRecord> batch(m_shared.queue.begin(), m_shared.queue.end());
    if (batch.empty()) {
        return;
    }
    const bool first = m_unrecorded.Path().empty();
    m_lock.unlock();
    std::string error;
    try {
        m_unrecorded.Append(batch);
    } catch (const std::exception& failure) {
        error = failure.what();
    }
    m_lock.lock();
    if (!error.empty()) {
        if (!m_keepingFailed) {
            Tell(&RecorderState::Warn,
                 error + "; " + std::to_string(batch.size()) + " units are only in memory");
        }
        m_keepingFailed = true;
        return;
    }
    m_keepingFailed = false;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        m_shared.kept.push_back(std::move(m_shared.queue.front()));
        m_shared.queue.pop_front();
    }
    m_shared.progress.unrecordedFile = m_unrecorded.Path();
    if (first) {
        Tell(&RecorderState::Warn, "the record file " + m_file->Path() +
                                       " still cannot be written; units are kept in " +
                                       m_unrecorded.Path() + " until it can");
    }
}

void FileWriter::Tell(void (RecorderState::*say)(const std::string&), const std::string& text) {
    m_lock.unlock();
    (m_shared.*say)(text);
    m_lock.lock();
}

}  // namespace vantrel
