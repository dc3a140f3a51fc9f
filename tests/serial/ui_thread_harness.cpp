#include "tests/serial/ui_thread_harness.h"

#include "tests/support/wait_until.h"

namespace vantrel::test {

UiThreadHarness::UiThreadHarness()
    : m_calls([this] {
          {
              std::lock_guard lock(m_mutex);
              ++m_wakes;
          }
          m_woken.notify_all();
      }) {}

bool UiThreadHarness::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto runPending = [this] { m_calls.WaitAndRunPending(20ms); };
    return WaitUntil(done, runPending, limit);
}

bool UiThreadHarness::WaitForQueuedCall(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    if (!m_woken.wait_for(lock, limit, [&] { return m_wakes > m_wakesSeen; })) {
        return false;
    }
    m_wakesSeen = m_wakes;
    return true;
}

void RecordingOwner::OnCommData(std::span<const std::uint8_t> chunk) {
    chunkSizes.push_back(chunk.size());
    received.insert(received.end(), chunk.begin(), chunk.end());
}

void RecordingOwner::OnCommLost(const PortLoss& loss) {
    losses.push_back(loss);
    if (onLost) {
        onLost(loss);
    }
}

void RecordingOwner::OnCommWriteError() {
    ++writeErrors;
    if (onWriteError) {
        onWriteError();
    }
}

}  // namespace vantrel::test
