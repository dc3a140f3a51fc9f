#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/module_slots.h"
#include "engine/receive_stream.h"
#include "engine/session_host.h"
#include "engine/update_session.h"
#include "platform/ui_thread_call.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A window stand-in for the engine: records what the engine shows and
// writes. The test's thread is the UI thread; it runs the worker's calls
// while it waits for a frame.
class EngineHarness : public SessionHost {
  public:
    // The image is `length` bytes of a pattern, loaded into the first slot.
    explicit EngineHarness(std::size_t length = 3 * 1024 + 100);

    // SessionHost, UI thread.
    void ShowStatus(StatusCode code) override { statuses.push_back(code); }
    void AppendLog(std::string_view text) override { log += text; }
    void OnSessionFailed() override;
    void OnSessionDone() override;
    // A block acknowledged moves the window's bar.
    void OnSessionEvent(const SessionEvent& event) override {
        events.push_back(event);
        if (event.kind == SessionEvent::Kind::kBlockAcknowledged) {
            progress = event.block;
        }
    }
    // SessionHost, worker thread.
    void WriteFrame(std::span<const std::uint8_t> frame) override;
    void FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) override;

    void Start() { session.StartSession(); }
    void Receive(std::string_view bytes);
    void Receive(const Bytes& bytes) { stream.OnCommData(bytes); }

    // The next frame the worker writes; fails the test after five seconds.
    Bytes NextFrame();
    // True when the worker writes nothing more while the UI thread runs for
    // a little while.
    bool NoFurtherFrame();
    // Runs the UI thread until the worker has ended; returns "done" or
    // "failed".
    std::string WaitForEnd();

    // A block frame as the box sends it: checksum over bytes 0 to 1030.
    static Bytes BoxBlock(std::uint16_t number, const Bytes& data, bool goodChecksum = true);

    TempDir dir;
    std::string imagePath;
    Bytes image;
    UiThreadCalls ui;
    ModuleSlots slots;
    UpdateSession session{slots, *this, ui};
    ReceiveStream stream{session, *this};

    std::vector<StatusCode> statuses;
    std::string log;
    std::uint32_t progress = 0;
    std::vector<SessionEvent> events;
    std::string ended;

  private:
    // Runs the UI thread's calls until `done` holds; false when `limit` ran out.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    std::mutex m_mutex;
    std::vector<Bytes> m_frames;
    std::size_t m_taken = 0;
};

}  // namespace vantrel::test
