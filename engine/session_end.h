#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// What ended an update session.
enum class SessionEndCause {
    kCompleted,         // the box acknowledged the global end
    kModuleEndRefused,  // the box answered the module end with NAK
    kBoxRestarted,      // the box announced itself again once its handshake was taken
    kCancelled,         // Cancel was pressed
    kNoModuleToSend,    // modules were counted but no slot holds one
};

// How the last session ended, as the front ends tell it.
struct SessionEnd {
    SessionEndCause cause = SessionEndCause::kCompleted;
    std::uint32_t blocksAcknowledged = 0;
    std::uint32_t blocksTotal = 0;
    // Blocks the box sent back that are not in the readback file ("2, 5-7");
    // empty when none is missing or the box sent none.
    std::string readbackMissing;

    // Only a global end acknowledged with every block the box sent back
    // stored is a success.
    bool Succeeded() const {
        return cause == SessionEndCause::kCompleted && readbackMissing.empty();
    }
};

}  // namespace vantrel
