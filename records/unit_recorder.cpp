#include "records/unit_recorder.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "records/file_writer.h"
#include "records/recorder_state.h"
#include "records/spool_sender.h"
#include "records/sqlite_record_store.h"
#include "records/unit_identity.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kDestructorCloseLimit = std::chrono::seconds(2);

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
    recorder->m_writer =
        std::thread(&FileWriter::Run, std::make_unique<FileWriter>(shared, std::move(writerFile)));
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

}  // namespace vantrel
