#include "records/unit_recorder.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "records/postgres_record_store.h"
#include "records/record_text.h"
#include "records/sqlite_record_store.h"
#include "records/unit_identity.h"
#include "records/unrecorded_file.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

// How many spooled records one read of the spool takes.
constexpr std::size_t kSpoolBatch = 64;
constexpr auto kDestructorCloseLimit = std::chrono::seconds(2);
// How long a retry on a local file that failed waits for another process's
// lock: the units are safe meanwhile, and Close must not wait long.
constexpr auto kRetryBusyTimeout = std::chrono::milliseconds(250);

void Tell(const std::function<void(const std::string&)>& listener, const char* kind,
          const std::string& text) {
    if (listener) {
        listener(text);
    } else {
        std::fprintf(stderr, "vantrel: %s%s\n", kind, text.c_str());
    }
}

}  // namespace

struct UnitRecorder::Shared {
    Shared(RecordTarget target, RecorderOptions options)
        : target(std::move(target)), options(std::move(options)) {}

    void Warn(const std::string& text) { Report(options.onWarning, "warning: ", text); }
    void Notice(const std::string& text) { Report(options.onNotice, "", text); }
    // After Close no listener is called any more, even from a thread it
    // left running: what a listener uses may be gone.
    void Silence() {
        std::lock_guard lock(listenerMutex);
        silenced = true;
    }

    void Report(const std::function<void(const std::string&)>& listener, const char* kind,
                const std::string& text) {
        std::lock_guard lock(listenerMutex);
        if (!silenced) {
            Tell(listener, kind, text);
        }
    }

    // Whether Close has begun and its limit has passed. Needs the lock.
    bool OutOfTime() const { return closing && Clock::now() >= deadline; }
    // Whether every record so far is where it goes. Needs the lock.
    bool AllArrived() const {
        return queue.empty() && kept.empty() &&
               (!target.server || (!spoolChanged && !senderBusy && progress.spooled == 0));
    }
    // When a stall of the server is to be told, if it goes on. Needs the
    // lock.
    Clock::time_point StallTime() const {
        return senderBusy && !stallTold ? senderSince + options.stallWarning
                                        : Clock::time_point::max();
    }
    RecorderProgress Progress() const {
        RecorderProgress now = progress;
        now.waiting = queue.size();
        now.unrecorded = kept.size();
        return now;
    }

    const RecordTarget target;
    const RecorderOptions options;

    std::mutex listenerMutex;  // held while a listener runs
    bool silenced = false;

    mutable std::mutex mutex;
    std::condition_variable changed;  // any of the below
    std::deque<UnitRecord> queue;     // the front is written, then taken off
    std::deque<UnitRecord> kept;      // in the unrecorded file, written before the queue
    bool closed = false;
    bool closing = false;
    Clock::time_point deadline{};
    bool writerDone = false;
    bool senderDone = false;
    bool spoolChanged = true;  // the first pass sends what an earlier run left
    bool senderBusy = false;
    Clock::time_point senderSince{};  // busy, and last sent a unit, since
    bool stallTold = false;
    RecorderProgress progress;
};

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
    auto shared = std::make_shared<Shared>(target, std::move(options));
    shared->senderDone = !target.server;
    std::unique_ptr<UnitRecorder> recorder(new UnitRecorder(shared));
    recorder->m_writer = std::thread(RunWriter, shared, std::move(writerFile));
    if (target.server) {
        recorder->m_sender = std::thread(RunSender, shared, std::move(senderFile));
    }
    return recorder;
}

UnitRecorder::UnitRecorder(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

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
    Shared& shared = *m_shared;
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

void UnitRecorder::RunWriter(std::shared_ptr<Shared> pointer,
                             std::unique_ptr<SqliteRecordStore> file) {
    Shared& shared = *pointer;
    const std::string server = shared.target.server ? shared.target.server->name : "";
    UnrecordedFile unrecorded(shared.options.unrecordedFolder.empty()
                                  ? DefaultUnrecordedFolder()
                                  : shared.options.unrecordedFolder);
    int failures = 0;            // writes into the file that failed in a row
    bool keepingFailed = false;  // the unrecorded file did not take the last units
    Clock::time_point retry{};   // while the file fails
    std::unique_lock lock(shared.mutex);
    // Listeners are called without the lock.
    const auto tell = [&](void (Shared::*say)(const std::string&), const std::string& text) {
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
                tell(&Shared::Warn,
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
            tell(&Shared::Warn, "the record file " + file->Path() +
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
            tell(&Shared::Warn, "the record server " + server + " has sent nothing back for " +
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
                tell(&Shared::Notice, "the record file " + file->Path() + " is written again");
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
            tell(&Shared::Warn, error + "; units are kept in memory until it can be written");
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

void UnitRecorder::RunSender(std::shared_ptr<Shared> pointer,
                             std::unique_ptr<SqliteRecordStore> file) {
    Shared& shared = *pointer;
    const RecordServer& server = *shared.target.server;
    std::unique_ptr<PostgresRecordStore> store;
    bool unreachable = false;       // since the last warning
    bool fileFailing = false;       // the spool could not be read or updated
    std::set<std::string> refused;  // units the server refused, each told once
    std::set<std::int64_t> aside;   // spool rows this version cannot read, each told once

    const auto outOfTime = [&] {
        std::lock_guard lock(shared.mutex);
        return shared.OutOfTime();
    };
    const auto noteUnreachable = [&](const std::string& error) {
        store.reset();
        {
            std::lock_guard lock(shared.mutex);
            shared.progress.serverUnreachable = true;
        }
        if (!unreachable) {
            shared.Warn(error + "; units are kept in " + file->Path() +
                        " and sent when it is back");
        }
        unreachable = true;
    };
    // Sends the whole spool; false when something stays in it.
    const auto sendSpool = [&]() -> bool {
        if (outOfTime()) {
            return false;
        }
        if (!store) {
            try {
                store = std::make_unique<PostgresRecordStore>(server);
            } catch (const RecordStoreError& error) {
                noteUnreachable(error.what());
                return false;
            }
            std::lock_guard lock(shared.mutex);
            shared.progress.serverUnreachable = false;
        }
        bool allSent = true;
        std::size_t sent = 0;
        std::int64_t after = 0;
        for (;;) {
            const std::vector<SqliteRecordStore::Spooled> batch =
                file->SpooledFor(server.name, after, kSpoolBatch);
            if (batch.empty()) {
                break;
            }
            for (const SqliteRecordStore::Spooled& spooled : batch) {
                if (outOfTime()) {
                    return false;
                }
                after = spooled.position;
                if (!spooled.unreadable.empty()) {
                    // A newer version's unit: it stays for one that can
                    // send it, and the others go on.
                    if (aside.insert(spooled.position).second) {
                        shared.Warn(spooled.unreadable + "; it stays spooled in " + file->Path() +
                                    " for a version that can read it");
                    }
                    continue;
                }
                try {
                    store->Write(spooled.record);
                } catch (const RecordStoreError& error) {
                    if (error.Unreachable()) {
                        noteUnreachable(error.what());
                        return false;
                    }
                    // Refused for good, it seems: it stays spooled and the
                    // others go on.
                    if (refused.insert(spooled.record.id).second) {
                        shared.Warn(std::string(error.what()) + "; unit " + spooled.record.id +
                                    " stays in " + file->Path());
                    }
                    allSent = false;
                    continue;
                }
                file->Unspool(spooled.position);
                ++sent;
                std::lock_guard lock(shared.mutex);
                ++shared.progress.sent;
                if (shared.progress.spooled > 0) {
                    --shared.progress.spooled;
                }
                shared.senderSince = Clock::now();
                shared.stallTold = false;
                shared.changed.notify_all();
            }
        }
        if (unreachable) {
            shared.Notice("the record server " + server.name + " is reached again; " +
                          std::to_string(sent) + " spooled units sent");
            unreachable = false;
        }
        return allSent;
    };

    bool failed = false;  // the last pass left something in the spool
    for (;;) {
        {
            std::unique_lock lock(shared.mutex);
            if (failed) {
                // Try again after the interval, or once more at once when
                // Close begins.
                const bool wasClosing = shared.closing;
                if (wasClosing) {
                    break;
                }
                shared.changed.wait_for(lock, shared.options.retryInterval,
                                        [&] { return shared.closing; });
            } else {
                shared.changed.wait(lock, [&] { return shared.spoolChanged || shared.writerDone; });
                if (!shared.spoolChanged) {
                    break;
                }
            }
            shared.spoolChanged = false;
            shared.senderBusy = true;
            shared.senderSince = Clock::now();
            shared.stallTold = false;
            // The writer watches for a stall from now on.
            shared.changed.notify_all();
        }
        std::size_t left = 0;
        try {
            failed = !sendSpool();
            left = file->SpoolCount(server.name);
            if (fileFailing) {
                shared.Notice("the spool in " + file->Path() + " is readable again");
            }
            fileFailing = false;
        } catch (const std::exception& error) {
            if (!fileFailing) {
                shared.Warn(std::string(error.what()) + "; the spool is tried again later");
            }
            fileFailing = true;
            failed = true;
        }
        std::lock_guard lock(shared.mutex);
        shared.senderBusy = false;
        if (!fileFailing) {
            shared.progress.unreadable = aside.size();
            shared.progress.spooled = left > aside.size() ? left - aside.size() : 0;
        }
        shared.changed.notify_all();
        if (shared.OutOfTime()) {
            break;
        }
    }
    std::lock_guard lock(shared.mutex);
    shared.senderDone = true;
    shared.changed.notify_all();
}

}  // namespace vantrel
