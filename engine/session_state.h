#pragma once

#include <cstdint>

namespace vantrel {

// The session sends frame type n in state n; 8 is never used.
enum SessionState : std::int32_t {
    kHandshake = 0,
    kModuleHeader = 1,
    kBlocks = 2,
    kModuleEnd = 3,
    kGlobalEnd = 4,
    kCancelling = 5,
    kReadbackAck = 6,
    kReadbackBad = 7,
    kWaitBoot = 9,
};

}  // namespace vantrel
