#include "records/spool_sender.h"

#include <vector>

#include "records/record_store_factory.h"

namespace vantrel {
namespace {

// How many spooled records one read of the spool takes.
constexpr std::size_t kSpoolBatch = 64;

}  // namespace

SpoolSender::SpoolSender(std::shared_ptr<RecorderState> state,
                         std::unique_ptr<SqliteRecordStore> file)
    : m_state(std::move(state)), m_file(std::move(file)), m_server(*m_state->target.server) {}

void SpoolSender::Run() {
    RecorderState& state = *m_state;
    bool failed = false;  // the last pass left something in the spool
    while (WaitForWork(failed)) {
        failed = !Pass();
        std::lock_guard lock(state.mutex);
        if (state.OutOfTime()) {
            break;
        }
    }
    std::lock_guard lock(state.mutex);
    state.senderDone = true;
    state.changed.notify_all();
}

bool SpoolSender::WaitForWork(bool lastPassFailed) {
    RecorderState& state = *m_state;
    std::unique_lock lock(state.mutex);
    if (lastPassFailed) {
        // Try again after the interval, or once more at once when Close
        // begins.
        if (state.closing) {
            return false;
        }
        state.changed.wait_for(lock, state.options.retryInterval, [&] { return state.closing; });
    } else {
        state.changed.wait(lock, [&] { return state.spoolChanged || state.writerDone; });
        if (!state.spoolChanged) {
            return false;
        }
    }
    state.spoolChanged = false;
    state.senderBusy = true;
    state.senderSince = RecorderState::Clock::now();
    state.stallTold = false;
    // The writer watches for a stall from now on.
    state.changed.notify_all();
    return true;
}

bool SpoolSender::Pass() {
    bool sent = false;
    std::size_t left = 0;
    try {
        sent = SendSpool();
        left = m_file->SpoolCount(m_server.name);
        if (m_fileFailing) {
            m_state->Notice("the spool in " + m_file->Path() + " is readable again");
        }
        m_fileFailing = false;
    } catch (const std::exception& error) {
        if (!m_fileFailing) {
            m_state->Warn(std::string(error.what()) + "; the spool is tried again later");
        }
        m_fileFailing = true;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->senderBusy = false;
    if (!m_fileFailing) {
        m_state->progress.unreadable = m_aside.size();
        m_state->progress.spooled = left > m_aside.size() ? left - m_aside.size() : 0;
    }
    m_state->changed.notify_all();
    return sent && !m_fileFailing;
}

bool SpoolSender::SendSpool() {
    if (OutOfTime() || !Connected()) {
        return false;
    }
    bool allSent = true;
    std::size_t sent = 0;
    std::int64_t after = 0;
    for (;;) {
        const std::vector<SqliteRecordStore::Spooled> batch =
            m_file->SpooledFor(m_server.name, after, kSpoolBatch);
        if (batch.empty()) {
            break;
        }
        for (const SqliteRecordStore::Spooled& spooled : batch) {
            if (OutOfTime()) {
                return false;
            }
            after = spooled.position;
            if (!spooled.unreadable.empty()) {
                // A newer version's unit: it stays for one that can send
                // it, and the others go on.
                if (m_aside.insert(spooled.position).second) {
                    m_state->Warn(spooled.unreadable + "; it stays spooled in " + m_file->Path() +
                                  " for a version that can read it");
                }
                continue;
            }
            const Sent result = Send(spooled);
            if (result == Sent::kUnreachable) {
                return false;
            }
            allSent = allSent && result == Sent::kArrived;
            sent += result == Sent::kArrived ? 1 : 0;
        }
    }
    if (m_unreachable) {
        m_state->Notice("the record server " + m_server.name + " is reached again; " +
                        std::to_string(sent) + " spooled units sent");
        m_unreachable = false;
    }
    return allSent;
}

SpoolSender::Sent SpoolSender::Send(const SqliteRecordStore::Spooled& spooled) {
    try {
        m_store->Write(spooled.record);
    } catch (const RecordStoreError& error) {
        if (error.Unreachable()) {
            NoteUnreachable(error.what());
            return Sent::kUnreachable;
        }
        // Refused for good, it seems: it stays spooled and the others go
        // on.
        if (m_refused.insert(spooled.record.id).second) {
            m_state->Warn(std::string(error.what()) + "; unit " + spooled.record.id + " stays in " +
                          m_file->Path());
        }
        return Sent::kRefused;
    }
    m_file->Unspool(spooled.position);
    NoteSent();
    return Sent::kArrived;
}

bool SpoolSender::Connected() {
    if (m_store) {
        return true;
    }
    try {
        m_store = OpenRecordStore(m_state->target, RecordAccess::kRecord);
    } catch (const RecordStoreError& error) {
        NoteUnreachable(error.what());
        return false;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->progress.serverUnreachable = false;
    return true;
}

void SpoolSender::NoteUnreachable(const std::string& error) {
    m_store.reset();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->progress.serverUnreachable = true;
    }
    if (!m_unreachable) {
        m_state->Warn(error + "; units are kept in " + m_file->Path() +
                      " and sent when it is back");
    }
    m_unreachable = true;
}

void SpoolSender::NoteSent() {
    RecorderState& state = *m_state;
    std::lock_guard lock(state.mutex);
    ++state.progress.sent;
    if (state.progress.spooled > 0) {
        --state.progress.spooled;
    }
    state.senderSince = RecorderState::Clock::now();
    state.stallTold = false;
    state.changed.notify_all();
}

bool SpoolSender::OutOfTime() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->OutOfTime();
}

}  // namespace vantrel
