#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "platform/ui_thread_call.h"
#include "serial/comm_owner.h"

namespace vantrel::test {

using namespace std::chrono_literals;

// The test's own thread plays the UI thread: it owns the calls and runs them
// while it waits for something to happen.
class UiThreadHarness {
  public:
    UiThreadHarness();

    UiThreadCalls& Calls() { return m_calls; }

    // Runs queued calls until `done` holds; false when `limit` ran out.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s);

    // Waits, without running anything, until another call has been queued
    // since the last wait.
    bool WaitForQueuedCall(std::chrono::milliseconds limit = 5s);

  private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    int m_wakes = 0;
    int m_wakesSeen = 0;
    UiThreadCalls m_calls;
};

// Keeps what the port tells its owner; touched on the UI thread only.
class RecordingOwner : public CommOwner {
  public:
    void OnCommData(std::span<const std::uint8_t> chunk) override;
    void OnCommLost(const PortLoss& loss) override;
    void OnCommWriteError() override;

    std::vector<std::size_t> chunkSizes;
    std::vector<std::uint8_t> received;
    std::vector<PortLoss> losses;
    int writeErrors = 0;
    std::function<void(const PortLoss&)> onLost;  // what the window would do next
    std::function<void()> onWriteError;
};

}  // namespace vantrel::test
