#pragma once

#include <cstdint>

namespace vantrel {

// What the status line shows of the module being written, and how far the
// whole session has come.
struct SessionProgress {
    bool hasSlot = false;
    std::uint32_t empty = 0;
    std::int32_t kind = 0;
    std::uint32_t blockCount = 0;
    std::uint32_t blockCounter = 0;
    std::uint32_t blocksTotal = 0;  // of every module of the session
    bool boxAnnounced = false;      // the box began this session's dialogue
};

}  // namespace vantrel
