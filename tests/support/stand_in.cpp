#include "tests/support/stand_in.h"

#include <stdexcept>

#include "boxsim/pty_line.h"
#include "tests/support/pty_peer.h"

namespace vantrel::test {

StandIn::StandIn(PeerOptions options, int port) {
    std::string error;
    std::optional<PtyLine> pty = CreatePtyLine(error);
    if (!pty) {
        throw std::runtime_error("no pseudo-terminal: " + error);
    }
    m_link = PtyLink::Make(m_dir.File("box"), pty->farEndPath, error);
    if (!m_link) {
        throw std::runtime_error(error);
    }
    m_path = m_link->Path();
    MapPort(port, m_path);
    m_runner = std::make_unique<BoxSimRunner>(std::move(pty->line), std::move(options));
}

void StandIn::Run() {
    m_thread = std::thread([this] { m_result = m_runner->Run(); });
}

StandIn::~StandIn() {
    Finish(true);
    m_link.reset();  // before the runner closes the pty
}

RunResult StandIn::Finish(bool stop) {
    if (stop) {
        m_runner->RequestStop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_result;
}

PeerOptions InstantOptions() {
    PeerOptions options;
    options.bootDelay = std::chrono::milliseconds(0);
    options.pieceGap = std::chrono::milliseconds(5);
    options.readbackPause = std::chrono::milliseconds(50);
    return options;
}

}  // namespace vantrel::test
