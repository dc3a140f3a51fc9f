#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "boxsim/box_sim_runner.h"

namespace vantrel::test {

// The boot-loader stand-in on a new pseudo-terminal, served on a thread of
// its own, with PORT 1 mapped to the far end: the box the window talks to.
class StandInBox {
  public:
    explicit StandInBox(PeerOptions options);
    // Stops a run that is still going and joins its thread.
    ~StandInBox();
    StandInBox(const StandInBox&) = delete;
    StandInBox& operator=(const StandInBox&) = delete;

    bool IsRunning() const { return m_runner != nullptr; }
    RunProgress Progress() const { return m_runner->Progress(); }
    // How the run ended once the tool has closed the line; nothing (and a
    // test failure) when it did not end within five seconds.
    std::optional<RunResult> Finish();

  private:
    std::unique_ptr<BoxSimRunner> m_runner;
    std::future<RunResult> m_result;
    std::jthread m_thread;
};

}  // namespace vantrel::test
