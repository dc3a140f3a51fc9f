#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "boxsim/answer_shaper.h"
#include "boxsim/fault_plan.h"
#include "boxsim/frame_checks.h"
#include "boxsim/peer_counters.h"
#include "boxsim/peer_options.h"
#include "boxsim/peer_step.h"
#include "boxsim/readback_source.h"
#include "boxsim/received_frame_splitter.h"

namespace vantrel {

// The box's boot loader without any I/O: it is fed what the tool sent and
// returns what to write (or to do) on the line. Every frame is checked byte
// for byte; a bad one is reported, refused with NAK and expected again.
// Time enters only through IdleTimeout/OnIdleTimeout, so tests need no clock.
class BootLoaderPeer {
  public:
    enum class State {
        kIdle,              // the line is not open yet
        kBooting,           // "BOOT" goes out when the boot delay has passed
        kWaitHandshake,     // GBE
        kWaitHeader,        // MBE
        kBlocks,            // the next BLK, or MEN after the last one
        kWaitGlobalEnd,     // GEN
        kReadbackAwaitAck,  // the tool's ACK to a good readback block
        kReadbackPause,     // after a bad readback block, which the tool does not answer
        kReadbackAwaitGen,  // GEN after the readback's MEN
        kEnded,             // the run is over
    };

    // A frame that stops arriving halfway is given up after this silence.
    static constexpr std::chrono::milliseconds kFrameGapTimeout{500};
    // A tool that keeps sending a refused frame unchanged would loop forever.
    static constexpr int kMaxRefusalsInARow = 8;
    // In bench mode an update whose tool went quiet is abandoned after this.
    static constexpr std::chrono::milliseconds kBenchSilenceLimit{30000};

    explicit BootLoaderPeer(PeerOptions options);

    // The line is open: "BOOT" follows after the boot delay.
    void Start();
    PeerSteps Receive(std::span<const std::uint8_t> bytes);
    // How long the stand-in waits for the tool before OnIdleTimeout is due,
    // counted from the last thing received or sent; none: it waits forever.
    std::optional<std::chrono::milliseconds> IdleTimeout() const;
    PeerSteps OnIdleTimeout();
    // The tool closed the line; in bench mode Start follows when it reopens.
    void LineClosed();

    State CurrentState() const { return m_state; }
    bool Finished() const { return m_state == State::kEnded; }
    bool Vanished() const { return m_vanished; }
    const PeerCounters& Counters() const { return m_counters; }
    // Report lines since the last call: failed checks and events of the run.
    std::vector<std::string> TakeReports();
    // The module as it stood when the last module end arrived.
    const std::optional<std::vector<std::uint8_t>>& ReceivedModule() const {
        return m_receivedModule;
    }

  private:
    PeerSteps HandleFrame(FrameType type, std::span<const std::uint8_t> frame);
    PeerSteps OnHandshake(std::span<const std::uint8_t> frame);
    PeerSteps OnModuleHeader(std::span<const std::uint8_t> frame);
    PeerSteps OnBlock(std::span<const std::uint8_t> frame);
    PeerSteps OnModuleEnd(std::span<const std::uint8_t> frame);
    PeerSteps OnGlobalEnd(std::span<const std::uint8_t> frame);
    PeerSteps NotAccepted(FrameFate fate, const FrameSelector& selector,
                          std::span<const std::uint8_t> frame);
    PeerSteps Accept(std::size_t answeredLength);
    PeerSteps Refuse(std::size_t answeredLength);
    PeerSteps RefuseBadFrame(const std::string& failure, std::size_t answeredLength);
    PeerSteps DropPartialFrame();
    PeerSteps AnnounceBoot();
    PeerSteps SendReadbackFrom(std::size_t index, std::size_t answeredLength);
    void Fail(const std::string& failure);
    // Forgets what the update so far asked of the next frames.
    void ResetUpdate();
    void EndUpdate();
    bool Expects(FrameType type) const;
    std::string WaitingFor() const;
    bool UpdateInProgress() const;
    std::optional<std::chrono::milliseconds> StateTimeout() const;

    PeerOptions m_options;
    ReceivedFrameSplitter m_splitter;
    FaultPlan m_faults;
    AnswerShaper m_shaper;
    std::optional<ReadbackSource> m_readback;
    State m_state = State::kIdle;
    PeerCounters m_counters;
    std::vector<std::string> m_reports;
    ModuleHeader m_header;
    std::vector<std::uint8_t> m_module;
    std::optional<std::vector<std::uint8_t>> m_receivedModule;
    std::uint32_t m_nextBlock = 0;
    std::size_t m_readbackIndex = 0;
    std::vector<std::uint8_t> m_refusedFrame;  // a frame refused on request comes again, identical
    bool m_resending = false;                  // the frame in hand repeats the refused one
    int m_refusalsInARow = 0;
    bool m_updateClean = true;  // no check has failed in this update
    bool m_vanished = false;
};

}  // namespace vantrel
