#include "tests/qt/stand_in_box.h"

#include <gtest/gtest.h>

#include "boxsim/pty_line.h"
#include "tests/support/pty_peer.h"

namespace vantrel::test {

StandInBox::StandInBox(PeerOptions options) {
    std::string error;
    std::optional<PtyLine> pty = CreatePtyLine(error);
    if (!pty) {
        ADD_FAILURE() << "no pseudo-terminal: " << error;
        return;
    }
    MapPort(1, pty->farEndPath);
    m_runner = std::make_unique<BoxSimRunner>(std::move(pty->line), std::move(options));
    std::packaged_task<RunResult()> run([runner = m_runner.get()] { return runner->Run(); });
    m_result = run.get_future();
    m_thread = std::jthread(std::move(run));
}

StandInBox::~StandInBox() {
    if (m_runner != nullptr) {
        m_runner->RequestStop();
    }
}

std::optional<RunResult> StandInBox::Finish() {
    if (m_runner == nullptr) {
        return std::nullopt;
    }
    if (m_result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "the stand-in did not end within 5 s";
        m_runner->RequestStop();
        return std::nullopt;
    }
    return m_result.get();
}

}  // namespace vantrel::test
