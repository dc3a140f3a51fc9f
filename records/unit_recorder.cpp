#include "records/unit_recorder.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "records/record_text.h"
#include "records/recorder_state.h"
#include "records/spool_sender.h"
#include "records/sqlite_record_store.h"
#include "records/unit_identity.h"
#include "records/unrecorded_file.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDestructorCloseLimit = std::chrono::seconds(2);
// How long a retry on a local file that failed waits for another process's
// lock: the units are safe meanwhile, and Close must not wait long.
constexpr auto kRetryBusyTimeout = std::chrono::milliseconds(250);

}  // namespace

std::variant<std::unique_ptr<UnitRecorder>, std::string> UnitRecorder::Open(
    const RecordTarget& target, RecorderOptions options) {
    std::unique_ptr<SqliteRecordStore> writerFile;
    std::unique_ptr<SqliteRecordStore> senderFile;
    try {
        writerFile = std::make_unique<SqliteRecordStore>(target.localFile);
        if (target.server) {
            senderFile = std::make_unique<SqliteRecordStore>(target.localFile,
                                                             SqliteRecordStore::Mode::kExisting);
        }
    } catch (const std::exception& error) {
        return std::string(error.what());
    }
    auto shared = std::make_shared<RecorderState>(target, std::move(options));
    shared->senderDone = !target.server;
    std::unique_ptr<UnitRecorder> recorder(new UnitRecorder(shared));
    recorder->m_writer = std::thread(RunWriter, shared, std::move(writerFile));
    if (target.server) {
        recorder->m_sender = std::thread(
            &SpoolSender::Run, std::make_unique<SpoolSender>(shared, std::move(senderFile)));
    }
    return recorder;
}

UnitRecorder::UnitRecorder(std::shared_ptr<RecorderState> shared) : m_shared(std::move(shared)) {}

UnitRecorder::~UnitRecorder() {
    Close(kDestructorCloseLimit);
}

bool UnitRecorder::Record(UnitRecord record) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->closing) {
            return false;
        }
        if (record.id.empty()) {
            record.id = NewUnitId();
        }
        m_shared->queue.push_back(std::move(record));
    }
    m_shared->changed.notify_all();
    return true;
}

bool UnitRecorder::Flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, limit, [&] { return m_shared->AllArrived(); });
}

RecorderProgress UnitRecorder::Close(std::chrono::milliseconds limit) {
    RecorderState& shared = *m_shared;
    std::unique_lock lock(shared.mutex);
    if (!shared.closed) {
        shared.closed = true;
        shared.closing = true;
        shared.deadline = Clock::now() + limit;
        shared.changed.notify_all();
        // The writer tries a failing file once more and then keeps what it
        // does not take aside, so it ends soon without a limit.
        shared.changed.wait(lock, [&] { return shared.writerDone; });
        shared.changed.wait_until(lock, shared.deadline, [&] { return shared.senderDone; });
        const bool senderDone = shared.senderDone;
        lock.unlock();
        shared.Silence();
        m_writer.join();
        if (m_sender.joinable()) {
            // A sender still waiting on the server when the limit passes is
            // left to end on its own: it holds what it uses, and what it has
            // not sent stays spooled.
            senderDone ? m_sender.join() : m_sender.detach();
        }
        lock.lock();
    }
    RecorderProgress progress = shared.Progress();
    progress.unkept.assign(shared.queue.begin(), shared.queue.end());
    return progress;
}

RecorderProgress UnitRecorder::Status() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->Progress();
}

void UnitRecorder::RunWriter(std::shared_ptr<RecorderState> pointer,
                             std::unique_ptr<SqliteRecordStore> file) {
    RecorderState& shared = *pointer;
    const std::string server = shared.target.server ? shared.target.server->name : "";
    UnrecordedFile unrecorded(shared.options.unrecordedFolder.empty()
                                  ? DefaultUnrecordedFolder()
                                  : shared.options.unrecordedFolder);
    int failures = 0;            // writes into the file that failed in a row
    bool keepingFailed = false;  // the unrecorded file did not take the last units
    Clock::time_point retry{};   // while the file fails
    std::unique_lock lock(shared.mutex);
    // Listeners are called without the lock.
    const auto tell = [&](void (RecorderState::*say)(const std::string&), const std::string& text) {
        lock.unlock();
        (shared.*say)(text);
        lock.lock();
    };
    // Moves the queue into the unrecorded file, and on into `kept`.
    const auto keepAside = [&] {
        const std::vector<UnitRecord> batch(shared.queue.begin(), shared.queue.end());
        if (batch.empty()) {
            return;
        }
        const bool first = unrecorded.Path().empty();
        lock.unlock();
        std::string error;
        try {
            unrecorded.Append(batch);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        lock.lock();
        if (!error.empty()) {
            if (!keepingFailed) {
                tell(&RecorderState::Warn,
                     error + "; " + std::to_string(batch.size()) + " units are only in memory");
            }
            keepingFailed = true;
            return;
        }
        keepingFailed = false;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            shared.kept.push_back(std::move(shared.queue.front()));
            shared.queue.pop_front();
        }
        shared.progress.unrecordedFile = unrecorded.Path();
        if (first) {
            tell(&RecorderState::Warn, "the record file " + file->Path() +
                                           " still cannot be written; units are kept in " +
                                           unrecorded.Path() + " until it can");
        }
    };
    // Waits for `ready` until `until`, or for good when that is max().
    const auto waitFor = [&](Clock::time_point until, const std::function<bool()>& ready) {
        until == Clock::time_point::max() ? shared.changed.wait(lock, ready)
                                          : (void)shared.changed.wait_until(lock, until, ready);
    };
    for (;;) {
        // Woken also when the server's stall time moves, to wait for the new
        // one.
        const Clock::time_point stall = shared.StallTime();
        if (failures == 0) {
            waitFor(stall, [&] {
                return !shared.queue.empty() || !shared.kept.empty() || shared.closing ||
                       shared.StallTime() != stall || Clock::now() >= stall;
            });
        } else if (!shared.closing) {
            waitFor(std::min(retry, stall),
                    [&] { return shared.closing || shared.StallTime() != stall; });
        }
        if (Clock::now() >= shared.StallTime()) {
            shared.stallTold = true;
            tell(&RecorderState::Warn,
                 "the record server " + server + " has sent nothing back for " +
                     std::to_string(shared.options.stallWarning.count() / 1000) +
                     " s; units wait in " + file->Path());
        }
        const bool closing = shared.closing;
        if (shared.queue.empty() && shared.kept.empty()) {
            if (closing) {
                break;
            }
            continue;
        }
        if (failures > 0 && !closing && Clock::now() < retry) {
            continue;
        }
        // Kept units first: the oldest, and the unrecorded file can go once
        // they are all in.
        std::deque<UnitRecord>& from = shared.kept.empty() ? shared.queue : shared.kept;
        const UnitRecord& front = from.front();  // stays put: Record only appends
        lock.unlock();
        std::string error;
        try {
            file->SetBusyTimeout(failures > 0 ? kRetryBusyTimeout
                                              : SqliteRecordStore::kBusyTimeout);
            const UnitRecord record = SafeRecord(front);
            server.empty() ? file->Write(record) : (void)file->WriteAndSpool(record, server);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        lock.lock();
        if (error.empty()) {
            if (failures > 0) {
                tell(&RecorderState::Notice,
                     "the record file " + file->Path() + " is written again");
            }
            failures = 0;
            from.pop_front();
            ++shared.progress.stored;
            if (!server.empty()) {
                ++shared.progress.spooled;
                shared.spoolChanged = true;
            }
            if (&from == &shared.kept && shared.kept.empty()) {
                // Each unit in it is in the record file now.
                unrecorded.Remove();
                shared.progress.unrecordedFile.clear();
            }
            shared.changed.notify_all();
            continue;
        }
        if (failures++ == 0) {
            tell(&RecorderState::Warn,
                 error + "; units are kept in memory until it can be written");
        }
        if (failures > 1 || closing) {
            keepAside();
        }
        if (closing) {
            break;
        }
        retry = Clock::now() + shared.options.retryInterval;
    }
    shared.writerDone = true;
    shared.changed.notify_all();
}

}  // namespace vantrel
