#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "records/unit_record.h"

namespace vantrel {

// How far the unit under way has come.
struct SlotProgress {
    std::uint32_t blocksDone = 0;
    std::uint32_t blocksTotal = 0;
    std::uint32_t framesSentAgain = 0;

    bool operator==(const SlotProgress&) const = default;
};

// What a port reports to the station as it happens.
struct StationEvent {
    enum class Kind {
        kOpened,
        kNotOpened,
        kBoot,          // a box announced itself: a unit begins
        kUnitEnd,       // a unit ended; `unit` says how
        kLost,          // the port went away outside an update
        kImageChanged,  // Start found other bytes than the shift's image
        kProgress,      // a block acknowledged or a frame sent again; `progress` says where
        kAdvice,        // how to name the port better; `text` says it
        kFinishing,     // the station's own: the units under way finish, no new box is taken
    };
    Kind kind = Kind::kOpened;
    std::string label;
    std::string device;
    std::string text;                // the reason, for kNotOpened, kLost and kImageChanged; kAdvice
    std::optional<UnitRecord> unit;  // kUnitEnd
    SlotProgress progress;           // kProgress
    std::chrono::system_clock::time_point time = std::chrono::system_clock::now();
};

}  // namespace vantrel
