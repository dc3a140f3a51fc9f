#pragma once

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "boxsim/box_sim_runner.h"
#include "tests/boxsim/tool_side.h"

namespace vantrel::test {

// A stand-in running on its own thread over a new pseudo-terminal, with the
// tool's end opened: what the end-to-end tests of the tool will do too.
class RunningSim {
  public:
    explicit RunningSim(PeerOptions options);
    ~RunningSim();

    ToolSide& Tool() { return *m_tool; }
    BoxSimRunner& Runner() { return *m_runner; }
    const std::string& Path() const { return m_path; }

    // Closes the tool's end and waits (a few seconds at most) for the run to
    // end; a run that does not is stopped and counts as a test failure.
    RunResult Finish();

  private:
    std::string m_path;
    std::unique_ptr<BoxSimRunner> m_runner;
    std::future<RunResult> m_result;
    std::jthread m_thread;
    std::unique_ptr<ToolSide> m_tool;
};

}  // namespace vantrel::test
