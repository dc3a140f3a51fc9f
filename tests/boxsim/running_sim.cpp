#include "tests/boxsim/running_sim.h"

#include <gtest/gtest.h>

#include <chrono>

#include "boxsim/pty_line.h"

namespace vantrel::test {

RunningSim::RunningSim(PeerOptions options) {
    std::string error;
    auto pty = CreatePtyLine(error);
    if (!pty) {
        ADD_FAILURE() << error;
        return;
    }
    m_path = pty->farEndPath;
    m_runner = std::make_unique<BoxSimRunner>(std::move(pty->line), std::move(options));
    std::packaged_task<RunResult()> run([runner = m_runner.get()] { return runner->Run(); });
    m_result = run.get_future();
    m_thread = std::jthread(std::move(run));
    m_tool = std::make_unique<ToolSide>(m_path);
    EXPECT_TRUE(m_tool->IsOpen()) << m_path;
}

RunningSim::~RunningSim() {
    if (m_runner) {
        m_runner->RequestStop();
    }
}

RunResult RunningSim::Finish() {
    m_tool->Close();
    if (m_result.wait_for(std::chrono::seconds{5}) != std::future_status::ready) {
        ADD_FAILURE() << "the stand-in did not end within 5 s";
        m_runner->RequestStop();
    }
    return m_result.get();
}

}  // namespace vantrel::test
