#pragma once

#include <memory>
#include <string>
#include <thread>

#include "boxsim/box_sim_runner.h"
#include "boxsim/peer_options.h"

namespace vantrel::test {

// The boot-loader stand-in on a fresh pseudo-terminal, with PORT `port`
// mapped to the pty's far end. It runs on its own thread from Run() on, so a
// test can press Start before the box announces itself.
class StandIn {
  public:
    explicit StandIn(PeerOptions options, int port = 1);
    void Run();
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    const std::string& Path() const { return m_path; }
    RunProgress Progress() const { return m_runner->Progress(); }
    // Waits for the run to end (stopping it first when `stop`) and returns
    // how it ended.
    RunResult Finish(bool stop = false);

  private:
    std::string m_path;
    std::unique_ptr<BoxSimRunner> m_runner;
    RunResult m_result;
    std::thread m_thread;
};

PeerOptions InstantOptions();

}  // namespace vantrel::test
