#include "engine/update_session.h"

namespace vantrel {

UpdateSession::UpdateSession(ModuleSlots& slots, SessionHost& host, UiThreadCalls& ui)
    : m_slots(slots), m_host(host), m_ui(ui), m_workerCalls(ui) {}

UpdateSession::~UpdateSession() {
    Stop();
}

void UpdateSession::StartSession() {
    WaitForWorkerEnd();
    {
        std::lock_guard lock(m_mutex);
        m_state = kWaitBoot;
        m_currentSlot = nullptr;
        m_blockCounter = 0;
        m_framesSentAgain = 0;
        m_blocksTotal = m_slots.TotalBlocks();
        m_boxAnnounced = false;
        m_endCause.reset();
    }
    m_sessionActive = true;
    m_events.Reset(kStepEvent);
    m_events.Reset(kFailEvent);
    m_events.Reset(kDoneEvent);
    // Running before the thread starts, so a "BOOT" that arrives at once is
    // not ignored.
    m_workerRunning = true;
    m_worker = std::thread(&UpdateSession::SessionWorkerThread, this);
}

void UpdateSession::WaitForWorkerEnd() {
    while (m_workerRunning) {
        m_ui.WaitAndRunPending(std::chrono::milliseconds(100));
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void UpdateSession::Stop() {
    if (!m_worker.joinable()) {
        return;
    }
    // The worker may be waiting for the UI thread, which is this thread:
    // closing the gate aborts that call instead of deadlocking.
    m_events.Set(kFailEvent);
    m_workerCalls.Close();
    m_worker.join();
    m_workerCalls.Open();
}

UpdateSession::Advance UpdateSession::AdvanceLocked(ResponseKind kind) {
    if (m_endCause) {
        return {};  // the session is ending: no answer moves it on
    }
    const bool nak = kind == kResponseNak;
    // These states send their frame again after a NAK; a NAK to the module
    // end fails the update instead.
    if (nak && (m_state == kHandshake || m_state == kModuleHeader || m_state == kBlocks ||
                m_state == kGlobalEnd)) {
        return {SentAgainLocked(), kStepEvent};
    }
    const auto movedOn = [this] {
        SessionEvent event{SessionEvent::Kind::kMovedOn};
        event.state = m_state;
        return event;
    };
    Advance advance;
    switch (m_state) {
        case kHandshake:
            m_state = kModuleHeader;
            advance = {movedOn(), kStepEvent};
            break;
        case kModuleHeader:
            m_state = kBlocks;
            advance = {movedOn(), kStepEvent};
            break;
        case kBlocks:
            // Anything but a NAK accepts the block.
            if (m_currentSlot != nullptr) {
                ++m_blockCounter;
                ++m_currentSlot->blocksSent;
                m_currentSlot->bytesSent += kBlockSize;
                SessionEvent event{SessionEvent::Kind::kBlockAcknowledged, m_state};
                event.block = m_blockCounter;
                event.total = m_blocksTotal;
                event.progress = ProgressLocked();
                advance.told = event;
            }
            advance.wake = kStepEvent;
            break;
        case kModuleEnd:
            if (!nak) {
                m_state = m_slots.ModuleCount() > 0 ? kModuleHeader : kGlobalEnd;
                advance.told = movedOn();
            }
            advance.wake = kStepEvent;
            break;
        case kGlobalEnd:
            Decide(SessionEndCause::kCompleted);
            advance.wake = kDoneEvent;
            break;
        case kReadbackAck:
            advance.wake = kStepEvent;
            break;
        case kWaitBoot:
            m_state = kHandshake;
            m_boxAnnounced = true;
            advance = {SessionEvent{SessionEvent::Kind::kBoxAnnounced, m_state}, kStepEvent};
            break;
        default:
            break;
    }
    return advance;
}

SessionEvent UpdateSession::SentAgainLocked() {
    SessionEvent event{SessionEvent::Kind::kFrameSentAgain, m_state};
    event.block = m_blockCounter;
    event.total = m_blocksTotal;
    event.framesSentAgain = ++m_framesSentAgain;
    return event;
}

void UpdateSession::Finish(const Advance& advance) {
    // A block acknowledged is one event: the host shows its status and
    // moves its bar from it.
    if (advance.told) {
        m_host.OnSessionEvent(*advance.told);
    }
    if (advance.wake) {
        m_events.Set(*advance.wake);
    }
}

int UpdateSession::AdvanceState(ResponseKind kind) {
    if (!m_workerRunning) {
        return 0;
    }
    Advance advance;
    {
        std::lock_guard lock(m_mutex);
        advance = AdvanceLocked(kind);
    }
    Finish(advance);
    return 1;
}

UpdateSession::BootMeaning UpdateSession::OnBootFromBox() {
    if (!m_workerRunning) {
        return BootMeaning::kNoSession;
    }
    Advance advance;
    const BootMeaning meaning = [&] {
        std::lock_guard lock(m_mutex);
        if (m_endCause) {
            return BootMeaning::kAfterTheEnd;
        }
        switch (m_state) {
            case kWaitBoot:
                m_state = kHandshake;
                m_boxAnnounced = true;
                advance = {SessionEvent{SessionEvent::Kind::kBoxAnnounced, m_state}, kStepEvent};
                return BootMeaning::kBegins;
            case kHandshake:
                // The box asks for the handshake again, as with a NAK.
                advance = {SentAgainLocked(), kStepEvent};
                return BootMeaning::kHandshakeAgain;
            case kCancelling:
                return BootMeaning::kIgnored;
            default:
                // Once the handshake was taken, a box that announces itself
                // has started again and kept nothing of this update. No frame
                // follows: the worker finds nothing to send in WaitBoot.
                m_state = kWaitBoot;
                Decide(SessionEndCause::kBoxRestarted);
                advance.wake = kFailEvent;
                return BootMeaning::kRestarted;
        }
    }();
    Finish(advance);
    return meaning;
}

void UpdateSession::Cancel(bool canSendCancel) {
    {
        std::lock_guard lock(m_mutex);
        Decide(SessionEndCause::kCancelled);
        if (m_state == kBlocks && canSendCancel) {
            m_state = kCancelling;
            m_events.Set(kStepEvent);
            return;
        }
        m_state = kWaitBoot;
    }
    m_sessionActive = false;
    m_events.Set(kFailEvent);
}

void UpdateSession::OnSessionFailed() {
    m_sessionActive = false;
    m_events.Reset(kFailEvent);
}

void UpdateSession::OnSessionDone() {
    m_sessionActive = false;
    m_events.Reset(kDoneEvent);
}

void UpdateSession::FailFromBox() {
    {
        std::lock_guard lock(m_mutex);
        Decide(SessionEndCause::kModuleEndRefused);
    }
    m_events.Set(kFailEvent);
}

void UpdateSession::OnBlockFromBox(bool checksumGood) {
    {
        std::lock_guard lock(m_mutex);
        if (m_state == kCancelling) {
            return;  // the operator's Cancel wins over the box's bytes
        }
        m_state = checksumGood ? kReadbackAck : kReadbackBad;
    }
    AdvanceState(checksumGood ? kResponseAck : kResponseNak);
}

void UpdateSession::OnModuleEndFromBox() {
    {
        std::lock_guard lock(m_mutex);
        if (m_state == kCancelling) {
            return;  // the operator's Cancel wins over the box's bytes
        }
        m_slots.DecrementModuleCount();
        m_state = kModuleEnd;
    }
    AdvanceState(kResponseMen);
}

std::optional<std::string> UpdateSession::CurrentFileName() const {
    std::lock_guard lock(m_mutex);
    if (m_currentSlot == nullptr) {
        return std::nullopt;
    }
    return m_currentSlot->fileName;
}

SessionState UpdateSession::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

SessionEndCause UpdateSession::EndCause() const {
    std::lock_guard lock(m_mutex);
    return m_endCause.value_or(SessionEndCause::kCompleted);
}

void UpdateSession::Decide(SessionEndCause cause) {
    // The first cause is what ended the session: a Cancel pressed while the
    // failure is being delivered changes nothing.
    if (!m_endCause) {
        m_endCause = cause;
    }
}

UpdateSession::Progress UpdateSession::CurrentProgress() const {
    std::lock_guard lock(m_mutex);
    return ProgressLocked();
}

UpdateSession::Progress UpdateSession::ProgressLocked() const {
    Progress progress;
    progress.blockCounter = m_blockCounter;
    progress.blocksTotal = m_blocksTotal;
    progress.boxAnnounced = m_boxAnnounced;
    if (m_currentSlot != nullptr) {
        progress.hasSlot = true;
        progress.empty = m_currentSlot->empty;
        progress.kind = m_currentSlot->kind;
        progress.blockCount = m_currentSlot->blockCount;
    }
    return progress;
}

}  // namespace vantrel
