#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/module_slots.h"
#include "engine/session_end.h"
#include "engine/session_host.h"
#include "engine/session_progress.h"
#include "engine/session_state.h"
#include "engine/status_code.h"
#include "platform/event_group.h"
#include "platform/ui_thread_call.h"
#include "protocol/frame_codec.h"

namespace vantrel {

// One update from Start to success, failure or cancellation: a worker thread
// that writes the one frame each state calls for, driven from the UI thread
// by the box's answers through AdvanceState.
//
// Threads: everything public runs on the UI thread. The worker reaches the
// window only through SessionHost, its status and closing calls carried over
// by UiThreadCalls. The slots and the session's own fields are guarded by
// one mutex, which is never held while calling the host or waiting.
class UpdateSession {
  public:
    UpdateSession(ModuleSlots& slots, SessionHost& host, UiThreadCalls& ui);
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // Resets the session and starts a worker in WaitBoot, after the worker
    // of an earlier session (if any) has ended.
    void StartSession();
    // Waits for a worker that was told to end, running the UI thread's
    // calls meanwhile: the worker may be waiting for one of them (its
    // closing message, a write-error box).
    void WaitForWorkerEnd();
    // Moves the session on in answer to the box; 0 (and nothing happens)
    // while no worker runs.
    int AdvanceState(ResponseKind kind);
    // What a "BOOT" from the box means to the session.
    enum class BootMeaning {
        kNoSession,       // no worker runs: nothing happens
        kBegins,          // the wait for the box is over: the handshake goes out
        kHandshakeAgain,  // the handshake was not answered: it goes out again
        kRestarted,       // the box started again mid-update: the session fails
        kIgnored,         // a Cancel is under way
        kAfterTheEnd,     // the session is ending: the box announces the next one
    };
    BootMeaning OnBootFromBox();
    // The session's part of the Cancel button. During block transfer with a
    // port to write to, the worker sends CNL and ends; otherwise it ends
    // without a frame.
    void Cancel(bool canSendCancel);
    // Ends a running worker without its closing call and joins it.
    void Stop();

    // The session's part of the closing messages.
    void OnSessionFailed();
    void OnSessionDone();

    // Operations of the receive stream.
    void FailFromBox();                      // a NAK to the module end
    void OnBlockFromBox(bool checksumGood);  // good: ACK it; bad: leave it unanswered
    void OnModuleEndFromBox();               // a MEN sent by the box
    // File of the module being written, for blocks the box sends back.
    std::optional<std::string> CurrentFileName() const;

    SessionState State() const;
    bool SessionActive() const { return m_sessionActive.load(); }
    bool WorkerRunning() const { return m_workerRunning.load(); }

    using Progress = SessionProgress;
    Progress CurrentProgress() const;
    // What ended the last session; meaningful once it has ended.
    SessionEndCause EndCause() const;

  private:
    enum Event : std::size_t { kFailEvent = 0, kDoneEvent = 1, kStepEvent = 2 };

    void SessionWorkerThread();
    // Send steps, worker thread only.
    void SendHandshake();
    void SendModuleHeader();
    void SendNextBlock();
    void SendModuleEnd();
    void SendGlobalEnd();
    void SendCommand(FrameType type);
    // Whether the state is still the one a send step was chosen for; the
    // caller holds the mutex.
    bool StillIn(SessionState state) const;
    // Builds into the transmit buffer; the caller holds the mutex.
    void BuildTx(const FrameRequest& request);
    void WriteTx();
    void ShowStatusFromWorker(StatusCode code);
    // What an answer from the box set in motion, carried out after the
    // mutex is released: the host is told first, the worker woken last.
    struct Advance {
        std::optional<SessionEvent> told;
        std::optional<Event> wake;
    };
    Advance AdvanceLocked(ResponseKind kind);
    Progress ProgressLocked() const;
    // Names what ends the session; the caller holds the mutex.
    void Decide(SessionEndCause cause);
    // The event of a frame sent again in the current state; the caller
    // holds the mutex.
    SessionEvent SentAgainLocked();
    void Finish(const Advance& advance);

    ModuleSlots& m_slots;
    SessionHost& m_host;
    UiThreadCalls& m_ui;
    CallGate m_workerCalls;
    EventGroup m_events{3};

    mutable std::mutex m_mutex;
    SessionState m_state = kWaitBoot;
    ModuleSlot* m_currentSlot = nullptr;
    std::uint32_t m_blockCounter = 0;
    std::uint32_t m_framesSentAgain = 0;
    std::uint32_t m_blocksTotal = 0;
    bool m_boxAnnounced = false;
    std::optional<SessionEndCause> m_endCause;  // set by the first way to end

    std::atomic<bool> m_workerRunning{false};
    std::atomic<bool> m_sessionActive{false};

    // Worker thread only.
    std::array<std::uint8_t, 4097> m_txFrame{};
    std::size_t m_txLength = 0;

    std::thread m_worker;
};

}  // namespace vantrel
