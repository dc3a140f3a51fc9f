#pragma once

#include <optional>
#include <string>

#include "records/unit_record.h"

namespace vantrel {

// What a port reports to the station as it happens.
struct StationEvent {
    enum class Kind {
        kOpened,
        kNotOpened,
        kBoot,          // a box announced itself: a unit begins
        kUnitEnd,       // a unit ended; `unit` says how
        kLost,          // the port went away outside an update
        kImageChanged,  // Start found other bytes than the shift's image
    };
    Kind kind = Kind::kOpened;
    std::string label;
    std::string device;
    std::string text;                // the reason, for kNotOpened, kLost and kImageChanged
    std::optional<UnitRecord> unit;  // kUnitEnd
};

}  // namespace vantrel
