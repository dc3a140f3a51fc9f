#pragma once

#include <cstdint>

#include "engine/session_progress.h"
#include "engine/session_state.h"

namespace vantrel {

// What moved a session on (or failed to), told to its host on the UI thread
// as it happens, so that nobody has to ask again and again.
struct SessionEvent {
    enum class Kind {
        kBoxAnnounced,       // the box said BOOT (or ACK) and the handshake goes out
        kMovedOn,            // the box took a frame other than a block: `state` is the next step
        kBlockAcknowledged,  // `block` blocks of `total` are in the box
        kFrameSentAgain,     // the frame of `state` goes out again; `framesSentAgain` so far
        kReadbackBlock,      // the box sent back block `block`; `stored` says whether it was kept
    };
    Kind kind = Kind::kBoxAnnounced;
    SessionState state = kWaitBoot;
    std::uint32_t block = 0;
    std::uint32_t total = 0;
    std::uint32_t framesSentAgain = 0;
    bool stored = false;
    // kBlockAcknowledged: the status line's figures after it, so that the
    // one event is all a front end needs to show the block.
    SessionProgress progress{};
};

}  // namespace vantrel
