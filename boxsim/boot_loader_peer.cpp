#include "boxsim/boot_loader_peer.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <utility>

#include "boxsim/format_line.h"
#include "protocol/checksum.h"

namespace vantrel {
namespace {

constexpr std::string_view kBootAnnouncement = "BOOT";

std::vector<std::uint8_t> CommandFrame(FrameType type) {
    FrameRequest request{};
    request.type = type;
    std::array<std::uint8_t, kCommandLength> frame{};
    BuildFrame(request, frame);
    return {frame.begin(), frame.end()};
}

// "BLK 7" for a block, the command letters for every other frame.
std::string FrameLabel(std::span<const std::uint8_t> frame) {
    std::string label(frame.begin(), frame.begin() + kCommandLength);
    if (frame.size() == kBlkFrameLength) {
        label += " " + std::to_string(ReadBE16(&frame[3]));
    }
    return label;
}

void AppendSteps(PeerSteps& steps, PeerSteps more) {
    std::move(more.begin(), more.end(), std::back_inserter(steps));
}

}  // namespace

BootLoaderPeer::BootLoaderPeer(PeerOptions options)
    : m_options(std::move(options)), m_faults(m_options), m_shaper(m_options) {
    if (m_options.readback) {
        m_readback.emplace(*m_options.readback, m_options.readbackBadBlocks);
    }
}

void BootLoaderPeer::Start() {
    if (m_state == State::kIdle) {
        m_state = State::kBooting;
    }
}

PeerSteps BootLoaderPeer::Receive(std::span<const std::uint8_t> bytes) {
    m_counters.bytesReceived += bytes.size();
    PeerSteps steps;
    for (const ReceivedItem& item : m_splitter.Append(bytes)) {
        if (item.kind == ReceivedItem::Kind::kGarbage) {
            m_counters.garbageBytes += item.bytes.size();
            Fail(FormatLine("%zu received bytes that begin no frame were skipped (first 0x%02X)",
                            item.bytes.size(), item.bytes.front()));
            continue;
        }
        AppendSteps(steps, HandleFrame(item.type, item.bytes));
        if (m_vanished) {
            break;
        }
    }
    return steps;
}

std::optional<std::chrono::milliseconds> BootLoaderPeer::IdleTimeout() const {
    auto timeout = StateTimeout();
    if (m_splitter.HasPartial() && (!timeout || kFrameGapTimeout < *timeout)) {
        timeout = kFrameGapTimeout;
    }
    return timeout;
}

PeerSteps BootLoaderPeer::OnIdleTimeout() {
    const auto stateTimeout = StateTimeout();
    if (m_splitter.HasPartial() && (!stateTimeout || kFrameGapTimeout < *stateTimeout)) {
        return DropPartialFrame();
    }
    switch (m_state) {
        case State::kBooting:
        case State::kWaitHandshake:
            return AnnounceBoot();
        case State::kReadbackPause:
            return SendReadbackFrom(m_readbackIndex + 1, 0);
        default:
            break;
    }
    if (UpdateInProgress()) {
        m_reports.push_back(FormatLine("the tool has been silent for %lld s: update abandoned",
                                       static_cast<long long>(kBenchSilenceLimit.count() / 1000)));
        ++m_counters.updatesAbandoned;
        EndUpdate();
    }
    return {};
}

void BootLoaderPeer::LineClosed() {
    if (UpdateInProgress()) {
        m_reports.push_back("the tool closed the line during the update");
        ++m_counters.updatesAbandoned;
    }
    m_splitter.TakePartial();
    EndUpdate();
    if (m_state == State::kBooting) {
        m_state = State::kIdle;
    }
}

std::vector<std::string> BootLoaderPeer::TakeReports() {
    return std::exchange(m_reports, {});
}

PeerSteps BootLoaderPeer::HandleFrame(FrameType type, std::span<const std::uint8_t> frame) {
    ++m_counters.framesReceived;
    if (m_state == State::kEnded) {
        m_reports.push_back(FrameLabel(frame) + ": arrived after the end of the run");
        return {};
    }
    if (type == kFrameCnl) {
        m_reports.push_back("CNL: the tool cancelled the update");
        ++m_counters.updatesCancelled;
        EndUpdate();
        return {};
    }
    if (!Expects(type)) {
        Fail(FrameLabel(frame) + ": unexpected while waiting for " + WaitingFor());
        ++m_counters.updatesFailed;
        EndUpdate();
        return {};
    }
    m_resending = !m_refusedFrame.empty();
    if (m_resending) {
        const bool identical = std::ranges::equal(frame, m_refusedFrame);
        m_refusedFrame.clear();
        if (!identical) {
            return RefuseBadFrame(FrameLabel(frame) + ": differs from the refused frame it repeats",
                                  frame.size());
        }
    }
    switch (type) {
        case kFrameGbe:
            return OnHandshake(frame);
        case kFrameMbe:
            return OnModuleHeader(frame);
        case kFrameBlk:
            return OnBlock(frame);
        case kFrameMen:
            return OnModuleEnd(frame);
        case kFrameGen:
            return OnGlobalEnd(frame);
        default:  // the tool's ACK to a readback block
            return SendReadbackFrom(m_readbackIndex + 1, frame.size());
    }
}

PeerSteps BootLoaderPeer::OnHandshake(std::span<const std::uint8_t> frame) {
    if (const auto failure = CheckHandshake(frame)) {
        return RefuseBadFrame(*failure, frame.size());
    }
    const FrameSelector selector{FrameSelector::Frame::kHandshake, 0};
    if (const FrameFate fate = m_faults.Decide(selector); fate != FrameFate::kAccept) {
        return NotAccepted(fate, selector, frame);
    }
    m_state = State::kWaitHeader;
    return Accept(frame.size());
}

PeerSteps BootLoaderPeer::OnModuleHeader(std::span<const std::uint8_t> frame) {
    const ModuleHeader header = DecodeModuleHeader(frame);
    if (const auto failure = CheckModuleHeader(header)) {
        return RefuseBadFrame(*failure, frame.size());
    }
    const FrameSelector selector{FrameSelector::Frame::kHeader, 0};
    if (const FrameFate fate = m_faults.Decide(selector); fate != FrameFate::kAccept) {
        return NotAccepted(fate, selector, frame);
    }
    m_header = header;
    m_module.clear();
    m_nextBlock = 0;
    m_refusalsInARow = 0;
    if (m_readback) {
        return SendReadbackFrom(0, frame.size());
    }
    m_state = State::kBlocks;
    return Accept(frame.size());
}

PeerSteps BootLoaderPeer::OnBlock(std::span<const std::uint8_t> frame) {
    if (const auto failure = CheckBlock(frame, m_header, m_nextBlock)) {
        return RefuseBadFrame(*failure, frame.size());
    }
    const FrameSelector selector{FrameSelector::Frame::kBlock,
                                 static_cast<std::uint16_t>(m_nextBlock)};
    if (const FrameFate fate = m_faults.Decide(selector); fate != FrameFate::kAccept) {
        return NotAccepted(fate, selector, frame);
    }
    const auto data = frame.subspan(kBlkHeaderLength, ReadBE16(&frame[5]));
    m_module.insert(m_module.end(), data.begin(), data.end());
    ++m_nextBlock;
    ++m_counters.blocksAccepted;
    return Accept(frame.size());
}

// The tool does not send its module end again: refusing it, for a failed
// check or on request, fails the update.
PeerSteps BootLoaderPeer::OnModuleEnd(std::span<const std::uint8_t> frame) {
    m_receivedModule = m_module;
    const auto failure = CheckModuleEnd(m_header, m_module, m_nextBlock);
    const FrameSelector selector{FrameSelector::Frame::kModuleEnd, 0};
    const FrameFate fate = failure ? FrameFate::kRefuse : m_faults.Decide(selector);
    if (fate == FrameFate::kRefuse || fate == FrameFate::kRefuseForEver) {
        if (failure) {
            Fail(*failure);
        } else {
            m_reports.push_back("MEN: refused with NAK on request; the update fails");
        }
        ++m_counters.updatesFailed;
        PeerSteps steps = Refuse(frame.size());
        EndUpdate();
        return steps;
    }
    if (fate != FrameFate::kAccept) {
        return NotAccepted(fate, selector, frame);
    }
    m_state = State::kWaitGlobalEnd;
    return Accept(frame.size());
}

PeerSteps BootLoaderPeer::OnGlobalEnd(std::span<const std::uint8_t> frame) {
    const FrameSelector selector{FrameSelector::Frame::kGlobalEnd, 0};
    if (const FrameFate fate = m_faults.Decide(selector); fate != FrameFate::kAccept) {
        return NotAccepted(fate, selector, frame);
    }
    if (m_state == State::kReadbackAwaitGen) {
        ++m_counters.readbacksCompleted;
    } else if (m_updateClean) {
        ++m_counters.updatesVerified;
    } else {
        ++m_counters.updatesUnverified;
    }
    PeerSteps steps = Accept(frame.size());
    EndUpdate();
    return steps;
}

PeerSteps BootLoaderPeer::NotAccepted(FrameFate fate, const FrameSelector& selector,
                                      std::span<const std::uint8_t> frame) {
    switch (fate) {
        case FrameFate::kVanish:
            m_reports.push_back("closing the line at " + FrameSelectorName(selector) +
                                ", as asked");
            m_vanished = true;
            m_state = State::kEnded;
            return {PeerStep::CloseLine()};
        case FrameFate::kIgnore:
            m_reports.push_back(FrameLabel(frame) + ": left unanswered, as asked");
            ++m_counters.framesIgnored;
            return {};
        case FrameFate::kRestart:
            m_reports.push_back(FrameLabel(frame) + ": the box starts again, as asked");
            ++m_counters.restarts;
            ResetUpdate();
            return AnnounceBoot();
        case FrameFate::kRefuseForEver:
            // Told once, not at each of the endless resends.
            if (!m_resending) {
                m_reports.push_back(FrameLabel(frame) +
                                    ": refused with NAK at every arrival, as asked");
            }
            m_refusedFrame.assign(frame.begin(), frame.end());
            return Refuse(frame.size());
        default:
            m_reports.push_back(FrameLabel(frame) + ": refused with NAK, as asked");
            m_refusedFrame.assign(frame.begin(), frame.end());
            return Refuse(frame.size());
    }
}

PeerSteps BootLoaderPeer::Accept(std::size_t answeredLength) {
    m_refusalsInARow = 0;
    ++m_counters.acksSent;
    return m_shaper.Answer(CommandFrame(kFrameAck), answeredLength);
}

PeerSteps BootLoaderPeer::Refuse(std::size_t answeredLength) {
    ++m_counters.naksSent;
    return m_shaper.Answer(CommandFrame(kFrameNak), answeredLength);
}

PeerSteps BootLoaderPeer::RefuseBadFrame(const std::string& failure, std::size_t answeredLength) {
    Fail(failure);
    if (++m_refusalsInARow >= kMaxRefusalsInARow) {
        m_reports.push_back(
            FormatLine("giving up the update after %d refused frames in a row", m_refusalsInARow));
        ++m_counters.updatesFailed;
        EndUpdate();
        return {};
    }
    return Refuse(answeredLength);
}

PeerSteps BootLoaderPeer::DropPartialFrame() {
    const PartialFrame partial = m_splitter.TakePartial();
    if (!partial.type) {
        m_counters.garbageBytes += partial.bytes.size();
        Fail(FormatLine("%zu received bytes that begin no frame were dropped",
                        partial.bytes.size()));
        return {};
    }
    const std::string failure =
        FormatLine("%.3s: incomplete, only %zu bytes arrived",
                   reinterpret_cast<const char*>(partial.bytes.data()), partial.bytes.size());
    if (Expects(*partial.type)) {
        return RefuseBadFrame(failure, partial.bytes.size());
    }
    Fail(failure);
    return {};
}

PeerSteps BootLoaderPeer::AnnounceBoot() {
    ++m_counters.bootsAnnounced;
    m_state = State::kWaitHandshake;
    return {PeerStep::Write({kBootAnnouncement.begin(), kBootAnnouncement.end()})};
}

PeerSteps BootLoaderPeer::SendReadbackFrom(std::size_t index, std::size_t answeredLength) {
    m_readbackIndex = index;
    if (index >= m_readback->BlockCount()) {
        m_state = State::kReadbackAwaitGen;
        return m_shaper.Send(CommandFrame(kFrameMen), answeredLength);
    }
    ++m_counters.readbackBlocksSent;
    m_state = m_readback->IsBad(index) ? State::kReadbackPause : State::kReadbackAwaitAck;
    return m_shaper.Send(m_readback->Block(index), answeredLength);
}

void BootLoaderPeer::Fail(const std::string& failure) {
    m_reports.push_back(failure);
    ++m_counters.checkFailures;
    m_updateClean = false;
}

void BootLoaderPeer::ResetUpdate() {
    m_refusedFrame.clear();
    m_refusalsInARow = 0;
    m_updateClean = true;
}

void BootLoaderPeer::EndUpdate() {
    ResetUpdate();
    m_state = m_options.bench ? State::kBooting : State::kEnded;
}

}  // namespace vantrel
