#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boxsim/peer_counters.h"

namespace vantrel {

// How a run of the stand-in ended, and what it saw.
struct RunResult {
    enum class End {
        kFinished,    // the update (or readback) ended: completed, refused or cancelled
        kLineClosed,  // the tool closed the line before the end
        kVanished,    // the stand-in closed the line, as asked
        kStopped,     // a stop request or signal
        kLineError,   // the line failed
    };

    End end = End::kStopped;
    PeerCounters counters;
    std::uint64_t bytesWritten = 0;
    std::chrono::duration<double> elapsed{};
    std::vector<std::string> reports;
    std::optional<std::vector<std::uint8_t>> receivedModule;
};

// A run succeeds when an update arrived whole and verified, or a readback
// completed, and no frame failed a check.
bool RunSucceeded(const RunResult& result);

// The one line printed at the end: outcome, frames, NAKs sent, bytes, seconds.
std::string FormatRunSummary(const RunResult& result);

}  // namespace vantrel
