#pragma once

#include <cstdint>

namespace vantrel {

// What the stand-in has seen and done; tests and the summary read them.
struct PeerCounters {
    std::uint64_t bytesReceived = 0;
    std::uint64_t framesReceived = 0;
    std::uint64_t garbageBytes = 0;   // received bytes that began no frame
    std::uint64_t checkFailures = 0;  // frames (and garbage) that failed a check
    std::uint64_t bootsAnnounced = 0;
    std::uint64_t acksSent = 0;
    std::uint64_t naksSent = 0;
    std::uint64_t framesIgnored = 0;  // silenced on request
    std::uint64_t blocksAccepted = 0;
    std::uint64_t readbackBlocksSent = 0;
    std::uint32_t updatesVerified = 0;    // global end acknowledged, every check passed
    std::uint32_t updatesUnverified = 0;  // global end acknowledged after a failed check
    std::uint32_t readbacksCompleted = 0;
    std::uint32_t updatesCancelled = 0;  // the tool sent CNL
    std::uint32_t updatesFailed = 0;     // module end refused, or the tool went astray
    std::uint32_t updatesAbandoned = 0;  // the tool closed the line or fell silent
    std::uint32_t restarts = 0;          // the box started again on request
};

}  // namespace vantrel
