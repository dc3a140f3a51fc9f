#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "boxsim/box_sim_runner.h"
#include "boxsim/peer_options.h"
#include "boxsim/pty_link.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {

// The boot-loader stand-in on a fresh pseudo-terminal, reached through a
// link in a folder of its own (Path()), with PORT `port` mapped to it. The
// link goes before the pty closes, so that a reopen after the stand-in has
// gone finds no such device. It runs on its own thread from Run() on, so a
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
    TempDir m_dir;
    std::optional<PtyLink> m_link;
    std::string m_path;
    std::unique_ptr<BoxSimRunner> m_runner;
    RunResult m_result;
    std::thread m_thread;
};

PeerOptions InstantOptions();

}  // namespace vantrel::test
