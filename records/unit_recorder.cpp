#include "records/unit_recorder.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <set>

#include "records/postgres_record_store.h"
#include "records/record_text.h"
#include "records/sqlite_record_store.h"
#include "records/unit_identity.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

// How many spooled records one read of the spool takes.
constexpr std::size_t kSpoolBatch = 64;
constexpr auto kDestructorCloseLimit = std::chrono::seconds(2);

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
        return queue.empty() &&
               (!target.server || (!spoolChanged && !senderBusy && progress.spooled == 0));
    }

    const RecordTarget target;
    const RecorderOptions options;

    std::mutex listenerMutex;  // held while a listener runs
    bool silenced = false;

    mutable std::mutex mutex;
    std::condition_variable changed;  // any of the below
    std::deque<UnitRecord> queue;     // the front is written, then taken off
    bool closed = false;
    bool closing = false;
    Clock::time_point deadline{};
    bool writerDone = false;
    bool senderDone = false;
    bool spoolChanged = true;  // the first pass sends what an earlier run left
    bool senderBusy = false;
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
        // The writer stops at the limit only while the file fails: a unit
        // still in memory would be lost, and a write takes milliseconds.
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
    RecorderProgress progress = shared.progress;
    progress.waiting = shared.queue.size();
    return progress;
}

RecorderProgress UnitRecorder::Status() const {
    std::lock_guard lock(m_shared->mutex);
    RecorderProgress progress = m_shared->progress;
    progress.waiting = m_shared->queue.size();
    return progress;
}

void UnitRecorder::RunWriter(std::shared_ptr<Shared> pointer,
                             std::unique_ptr<SqliteRecordStore> file) {
    Shared& shared = *pointer;
    const std::string server = shared.target.server ? shared.target.server->name : "";
    bool failing = false;
    std::unique_lock lock(shared.mutex);
    for (;;) {
        shared.changed.wait(lock, [&] { return !shared.queue.empty() || shared.closing; });
        if (shared.queue.empty()) {
            break;
        }
        const UnitRecord& front = shared.queue.front();  // stays put: Record only appends
        lock.unlock();
        std::string error;
        try {
            const UnitRecord record = SafeRecord(front);
            server.empty() ? file->Write(record) : file->WriteAndSpool(record, server);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        if (!error.empty() && !failing) {
            shared.Warn(error + "; units are kept in memory until it can be written");
        } else if (error.empty() && failing) {
            shared.Notice("the record file " + file->Path() + " is written again");
        }
        failing = !error.empty();
        lock.lock();
        if (!failing) {
            shared.queue.pop_front();
            ++shared.progress.stored;
            if (!server.empty()) {
                ++shared.progress.spooled;
                shared.spoolChanged = true;
            }
            shared.changed.notify_all();
            continue;
        }
        if (shared.OutOfTime()) {
            break;
        }
        const bool wasClosing = shared.closing;
        Clock::time_point retry = Clock::now() + shared.options.retryInterval;
        if (wasClosing) {
            retry = std::min(retry, shared.deadline);
        }
        shared.changed.wait_until(lock, retry, [&] { return shared.closing && !wasClosing; });
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
            shared.progress.spooled = left;
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
