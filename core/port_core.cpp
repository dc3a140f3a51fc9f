#include "core/port_core.h"

#include <algorithm>

#include "core/silent_line_hint.h"
#include "engine/loader_identifier.h"

namespace vantrel {

PortCore::PortCore(UiThreadCalls& ui, PortCoreOptions options)
    : m_options(std::move(options)),
      m_session(m_slots, *this, ui),
      m_receive(m_session, *this),
      m_comm(ui),
      m_silentLineHint(ui, [this] { HintAtSilentLine(); }) {
    m_settings.SetPath(m_options.settingsPath);
    // Named before the first open, so no early chunk is dropped.
    m_comm.SetOwner(this);
}

PortCore::~PortCore() {
    // No hint runs while the port and the session below are taken down.
    m_silentLineHint.Stop();
    // The port first, also after it was lost: closing it shuts the gate of
    // its calls onto this thread, so a worker blocked in a write (or waiting
    // here over a write error) is let go, and no chunk arrives any more.
    m_comm.ClosePort();
    m_session.Stop();
    m_slots.ClearSlots();
}

void PortCore::AddListener(PortListener& listener) {
    m_listeners.push_back(&listener);
}

void PortCore::RemoveListener(PortListener& listener) {
    std::erase(m_listeners, &listener);
}

void PortCore::Tell(PortEventData data) {
    if (m_listeners.empty()) {
        return;
    }
    const PortEvent event{m_options.label, std::chrono::steady_clock::now(), std::move(data)};
    for (PortListener* listener : m_listeners) {
        listener->OnPortEvent(event);
    }
}

bool PortCore::Open(PortOpenRequest request) {
    if (IsOpen()) {
        m_comm.ClosePort();
    }
    m_portNumber = request.portNumber;
    m_detected = std::move(request.detected);
    m_receive.TakePendingBoot();  // whatever waits on another line is not this one's
    ShowStatus(kStatusCheckingPort);
    const auto settings = DefaultPortSettings(static_cast<std::uint8_t>(request.portNumber));
    if (m_comm.OpenPort(settings, request.device) == 0) {
        ShowStatus(kStatusPortFailed);
        Tell(port_event::PortNotOpened{m_comm.Device(), m_comm.LastOpenError(),
                                       DescribeOpenError(m_comm.LastOpenError())});
        return false;
    }
    ShowStatus(kStatusPortOpened);
    Tell(port_event::PortOpened{m_comm.Device(), m_detected});
    return true;
}

void PortCore::Close() {
    m_comm.ClosePort();
}

bool PortCore::Start(const ImageChoice& image) {
    using Cause = port_event::StartRefused::Cause;
    if (m_busy) {
        RefuseStart(std::nullopt, {Cause::kBusy, "an update is under way", {}});
        return false;
    }
    if (!IsOpen()) {
        RefuseStart(kStatusNotConnected, {Cause::kNotConnected, "the port is not open", {}});
        return false;
    }
    // A cancelled session's worker may still be ending; it must be gone
    // before its slots are filled again.
    m_session.WaitForWorkerEnd();
    ImageLoad load = LoadChosenImage(m_slots, image, m_pinnedSha256);
    m_loadedSha256 = std::move(load.sha256);
    if (load.refusal || m_slots.ModuleCount() == 0 || image.kind == 0) {
        RefuseStart(kStatusNoModules, load.refusal.value_or(port_event::StartRefused{
                                          Cause::kNoImage, "no image is loaded", {}}));
        return false;
    }
    SetBusy(true);
    ShowStatus(kStatusWaitBoot);
    StartSession(image.path, image.kind);
    return true;
}

void PortCore::RefuseStart(std::optional<StatusCode> status, port_event::StartRefused refusal) {
    if (status) {
        ShowStatus(*status);
    }
    Tell(std::move(refusal));
}

void PortCore::StartSession(const std::string& imagePath, std::int32_t kind) {
    m_log.Clear();
    Tell(port_event::LogCleared{});
    const bool boxWaiting = m_receive.TakePendingBoot();
    m_receive.Reset();
    m_lastSessionSucceeded.reset();
    Tell(port_event::SessionStarted{imagePath, kind, m_loadedSha256.value_or(""),
                                    m_slots.TotalBlocks()});
    m_session.StartSession();
    if (boxWaiting) {
        // The box that started again during the last session announced
        // itself then and waits for its handshake: it would not say BOOT
        // again.
        AppendLog("BOOT\r\n");
        m_session.OnBootFromBox();
        return;
    }
    m_silentLineHint.Start(m_options.silentLineHint);
}

void PortCore::Cancel() {
    const bool connected = IsOpen();
    // A lost port must not trap the operator in Busy: a running session
    // still ends, only without the CNL frame.
    if (!connected && !m_session.WorkerRunning()) {
        return;
    }
    m_silentLineHint.Stop();
    m_session.Cancel(connected);
    SetBusy(false);
    ShowStatus(kStatusCleared);
}

void PortCore::SetBusy(bool busy) {
    m_busy = busy;
    Tell(port_event::BusyChanged{busy, busy ? m_slots.TotalBlocks() : 0});
}

void PortCore::ShowStatus(StatusCode code) {
    const UpdateSession::Progress progress = m_session.CurrentProgress();
    if (code == kStatusWaitBoot) {
        m_uploadPercentage.Reset();
    }
    if (code == kStatusUpdating) {
        LogUploadPercentage(progress);
    }
    Tell(port_event::StatusShown{code, m_portNumber, progress});
}

void PortCore::LogUploadPercentage(const UpdateSession::Progress& progress) {
    if (!progress.hasSlot) {
        return;
    }
    if (auto line = m_uploadPercentage.Update(progress.blockCounter, progress.blockCount)) {
        AppendLog(*line);
    }
}

void PortCore::AppendLog(std::string_view text) {
    if (text.empty()) {
        return;
    }
    m_log.Append(text);
    Tell(port_event::LogAppended{std::string(text)});
}

void PortCore::OnSessionFailed() {
    m_session.OnSessionFailed();
    // A Cancel pressed between the box's last ACK and the worker's waking
    // wins, as the window shows it.
    const SessionEndCause cause = m_session.EndCause();
    SessionEnded(cause == SessionEndCause::kCompleted ? SessionEndCause::kCancelled : cause);
}

void PortCore::OnSessionDone() {
    m_session.OnSessionDone();
    SessionEnded(SessionEndCause::kCompleted);
    ShowStatus(kStatusComplete);
}

void PortCore::SessionEnded(SessionEndCause cause) {
    m_silentLineHint.Stop();
    const UpdateSession::Progress progress = m_session.CurrentProgress();
    m_slots.ClearSlots();
    SetBusy(false);
    const SessionEnd end{cause, progress.blockCounter, progress.blocksTotal,
                         m_receive.MissingReadbackBlocks()};
    m_lastSessionSucceeded = end.Succeeded();
    Tell(port_event::SessionEnded{end});
}

void PortCore::OnSessionEvent(const SessionEvent& event) {
    if (event.kind == SessionEvent::Kind::kBlockAcknowledged) {
        // Logged before the status line shows the block, as the window does.
        LogUploadPercentage(event.progress);
    }
    Tell(event);
}

void PortCore::WriteFrame(std::span<const std::uint8_t> frame) {
    if (PortTap* tap = m_tap.load()) {
        tap->OnWrite(frame, PortTap::Clock::now());
    }
    m_comm.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void PortCore::FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) {
    vantrel::FillLoaderId(m_settings, loaderId);
}

void PortCore::OnCommData(std::span<const std::uint8_t> chunk) {
    m_lastReceiveTime = std::chrono::steady_clock::now();
    if (PortTap* tap = m_tap.load()) {
        tap->OnRead(chunk, m_lastReceiveTime);
    }
    m_receive.OnCommData(chunk);
    // Any byte ends a silence; BOOT ends the wait the hint is about.
    if (m_silentLineHint.Pending()) {
        if (m_session.State() == kWaitBoot) {
            m_silentLineHint.Start(m_options.silentLineHint);
        } else {
            m_silentLineHint.Stop();
        }
    }
}

void PortCore::HintAtSilentLine() {
    std::string hint = SilentLineHint(m_comm.Device().path, m_options.silentLineHint);
    AppendLog(hint + "\r\n");
    Tell(port_event::LineSilent{m_options.silentLineHint, std::move(hint)});
}

void PortCore::OnCommLost(const PortLoss& loss) {
    m_silentLineHint.Stop();  // the log names the loss; a hint would mislead
    m_receive.TakePendingBoot();
    std::string reason = DescribePortLoss(loss);
    ShowStatus(kStatusPortFailed);
    AppendLog(reason + "\r\n");
    Tell(port_event::PortLost{std::move(reason)});
}

void PortCore::OnCommWriteError() {
    Tell(port_event::WriteFailed{});
}

}  // namespace vantrel
