#pragma once

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

namespace vantrel {

// One thing the stand-in does on the line, in order: write bytes, pause,
// or close the line.
struct PeerStep {
    enum class Kind { kWrite, kPause, kCloseLine };

    Kind kind = Kind::kWrite;
    std::vector<std::uint8_t> bytes;     // kWrite
    std::chrono::microseconds pause{0};  // kPause

    static PeerStep Write(std::vector<std::uint8_t> bytes) {
        return {Kind::kWrite, std::move(bytes), {}};
    }
    static PeerStep Pause(std::chrono::microseconds pause) { return {Kind::kPause, {}, pause}; }
    static PeerStep CloseLine() { return {Kind::kCloseLine, {}, {}}; }
};

using PeerSteps = std::vector<PeerStep>;

}  // namespace vantrel
