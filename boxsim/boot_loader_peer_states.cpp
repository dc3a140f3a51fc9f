#include "boxsim/boot_loader_peer.h"

// What the stand-in waits for in each state, and for how long.
namespace vantrel {

bool BootLoaderPeer::Expects(FrameType type) const {
    switch (m_state) {
        case State::kBooting:
        case State::kWaitHandshake:
            return type == kFrameGbe;
        case State::kWaitHeader:
            return type == kFrameMbe;
        case State::kBlocks:
            return type == kFrameBlk || type == kFrameMen;
        case State::kWaitGlobalEnd:
        case State::kReadbackAwaitGen:
            return type == kFrameGen;
        case State::kReadbackAwaitAck:
            return type == kFrameAck;
        default:
            return false;
    }
}

std::string BootLoaderPeer::WaitingFor() const {
    switch (m_state) {
        case State::kBooting:
        case State::kWaitHandshake:
            return "GBE";
        case State::kWaitHeader:
            return "MBE";
        case State::kBlocks:
            return m_nextBlock < m_header.blockCount ? "BLK " + std::to_string(m_nextBlock)
                                                     : std::string("MEN");
        case State::kWaitGlobalEnd:
        case State::kReadbackAwaitGen:
            return "GEN";
        case State::kReadbackAwaitAck:
            return "ACK to readback block " + std::to_string(m_readbackIndex);
        default:
            return "nothing (a readback block with a bad checksum is not answered)";
    }
}

bool BootLoaderPeer::UpdateInProgress() const {
    switch (m_state) {
        case State::kWaitHeader:
        case State::kBlocks:
        case State::kWaitGlobalEnd:
        case State::kReadbackAwaitAck:
        case State::kReadbackPause:
        case State::kReadbackAwaitGen:
            return true;
        default:
            return false;
    }
}

std::optional<std::chrono::milliseconds> BootLoaderPeer::StateTimeout() const {
    switch (m_state) {
        case State::kBooting:
            return m_options.bootDelay;
        case State::kWaitHandshake:
            return m_options.bench ? std::optional(m_options.announceInterval) : std::nullopt;
        case State::kReadbackPause:
            return m_options.readbackPause;
        default:
            break;
    }
    if (m_options.bench && UpdateInProgress()) {
        return kBenchSilenceLimit;
    }
    return std::nullopt;
}

}  // namespace vantrel
