#include "engine/update_session.h"

#include <algorithm>

// The worker's side of a session: the one frame each state calls for.
namespace vantrel {

void UpdateSession::SessionWorkerThread() {
    bool done = false;
    for (bool running = true; running;) {
        switch (m_events.WaitAny()) {
            case kFailEvent:
                running = false;
                break;
            case kDoneEvent:
                done = true;
                running = false;
                break;
            default:
                // Reset before the state is read: an answer or a Cancel that
                // changes the state from here on sets the event again, so
                // none is lost between the read and the send.
                m_events.Reset(kStepEvent);
                switch (State()) {
                    case kHandshake:
                        SendHandshake();
                        break;
                    case kModuleHeader:
                        SendModuleHeader();
                        break;
                    case kBlocks:
                        SendNextBlock();
                        break;
                    case kModuleEnd:
                        SendModuleEnd();
                        break;
                    case kGlobalEnd:
                        SendGlobalEnd();
                        break;
                    case kReadbackAck:
                        SendCommand(kFrameAck);
                        break;
                    case kCancelling:
                        SendCommand(kFrameCnl);
                        running = false;
                        break;
                    default:
                        break;  // nothing to send: wait for the next answer
                }
        }
    }
    m_ui.Call(m_workerCalls, [this, done] {
        if (done) {
            m_host.OnSessionDone();
        } else {
            m_host.OnSessionFailed();
        }
    });
    m_workerRunning = false;
    // Wakes a UI thread waiting in WaitForWorkerEnd.
    m_ui.Post(m_workerCalls, [] {});
}

void UpdateSession::SendHandshake() {
    ShowStatusFromWorker(kStatusUpdating);
    FrameRequest request{};
    request.type = kFrameGbe;
    m_host.FillLoaderId(request.loaderId);
    {
        std::lock_guard lock(m_mutex);
        if (!StillIn(kHandshake)) {
            return;
        }
        BuildTx(request);
    }
    WriteTx();
}

void UpdateSession::SendModuleHeader() {
    {
        std::lock_guard lock(m_mutex);
        if (!StillIn(kModuleHeader) || m_slots.ModuleCount() == 0) {
            return;
        }
        m_currentSlot = m_slots.FirstSelectedSlot();
        if (m_currentSlot == nullptr) {
            // Modules are counted but none is left to send: waking the
            // worker again would spin, so the update fails instead.
            Decide(SessionEndCause::kNoModuleToSend);
            m_events.Set(kFailEvent);
            return;
        }
        const ModuleSlot& slot = *m_currentSlot;
        FrameRequest request{};
        request.type = kFrameMbe;
        request.empty = slot.empty;
        request.kind = slot.kind;
        request.blockCount = slot.blockCount;
        request.imageLength = slot.imageLength;
        request.image = slot.data.empty() ? nullptr : slot.data.data();
        const std::size_t copied =
            std::min(slot.destAddress.size(), request.destAddress.size() - 1);
        std::copy_n(slot.destAddress.begin(), copied, request.destAddress.begin());
        BuildTx(request);
    }
    WriteTx();
}

void UpdateSession::SendNextBlock() {
    bool exhausted = false;
    {
        std::lock_guard lock(m_mutex);
        ModuleSlot* slot = m_currentSlot;
        if (!StillIn(kBlocks) || slot == nullptr || slot->empty != 0) {
            return;
        }
        exhausted = slot->bytesSent >= slot->imageLength;
        if (exhausted) {
            m_state = kModuleEnd;
            m_slots.DecrementModuleCount();
        } else {
            FrameRequest request{};
            request.type = kFrameBlk;
            request.blockNumber = slot->blocksSent;
            request.blockSize = kBlockSize;
            request.dataLength = std::min(kBlockSize, slot->imageLength - slot->bytesSent);
            request.blockData = slot->data.data() + slot->bytesSent;
            BuildTx(request);
        }
    }
    if (exhausted) {
        // The module end follows at once, without waiting for the box.
        m_events.Set(kStepEvent);
        ShowStatusFromWorker(kStatusWriting);
        return;
    }
    WriteTx();
}

void UpdateSession::SendModuleEnd() {
    {
        std::lock_guard lock(m_mutex);
        if (!StillIn(kModuleEnd)) {
            return;
        }
        if (m_currentSlot != nullptr) {
            m_currentSlot->Zero();
        }
        FrameRequest request{};
        request.type = kFrameMen;
        BuildTx(request);
    }
    WriteTx();
}

void UpdateSession::SendGlobalEnd() {
    {
        std::lock_guard lock(m_mutex);
        if (!StillIn(kGlobalEnd)) {
            return;
        }
        FrameRequest request{};
        request.type = kFrameGen;
        BuildTx(request);
    }
    WriteTx();
}

void UpdateSession::SendCommand(FrameType type) {
    FrameRequest request{};
    request.type = type;
    BuildTx(request);
    WriteTx();
}

bool UpdateSession::StillIn(SessionState state) const {
    // The state changed since the worker read it: whoever changed it set the
    // step event again, and the next round sends what the new state calls for.
    return m_state == state;
}

void UpdateSession::BuildTx(const FrameRequest& request) {
    m_txFrame.fill(0);
    m_txLength = BuildFrame(request, m_txFrame);
}

void UpdateSession::WriteTx() {
    if (m_txLength > 0) {
        m_host.WriteFrame({m_txFrame.data(), m_txLength});
    }
}

void UpdateSession::ShowStatusFromWorker(StatusCode code) {
    m_ui.Call(m_workerCalls, [this, code] { m_host.ShowStatus(code); });
}

}  // namespace vantrel
