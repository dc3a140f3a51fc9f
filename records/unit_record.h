#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/unit_cause.h"

namespace vantrel {

// How a unit's update ended.
enum class UnitOutcome {
    kCompleted,
    kFailed,              // the box refused the module end, or started again
    kCancelled,           // the operator (or a signal) pressed Cancel
    kLineLost,            // the port went away during the update
    kTimedOut,            // no progress for the allowed time
    kReadbackIncomplete,  // blocks the box sent back were not all stored
};

// "completed", "failed", "cancelled", "line lost", "timed out", "readback
// incomplete": the words stored, printed and filtered on.
std::string_view OutcomeName(UnitOutcome outcome);
// The outcome that `name` names; nothing for any other text.
std::optional<UnitOutcome> OutcomeFromName(std::string_view name);

// The cause a record gets that has none, from its outcome: a record of an
// older version, or one whose cause a newer version added.
UnitCause CauseOfOutcome(UnitOutcome outcome);

// One unit that reached Start: what was written into which box on which
// port, and how it ended.
struct UnitRecord {
    using Clock = std::chrono::system_clock;

    std::string id;  // unique across stations: a random UUID
    Clock::time_point start;
    Clock::time_point end;
    std::string host;           // the station's host name
    std::string stationName;    // what the line calls the station: the host name unless given
    std::string operatorName;   // who ran the unit; empty if not given
    std::string workOrder;      // the order the unit was updated for; empty if not given
    std::string boxSerial;      // the box's serial number; empty if not given
    std::string portLabel;      // "PORT 1", or the device as given
    std::string device;         // "/dev/ttyUSB0"
    std::string stableName;     // a /dev/serial/by-id or by-path name, empty if none
    std::string adapterSerial;  // the USB adapter's serial number, empty if unknown
    std::string imagePath;
    std::string imageSha256;  // 64 lower-case hex digits
    std::string imageKind;    // "LOAD", "APPL" or "LDAP"
    std::uint32_t blocksInImage = 0;
    std::uint32_t blocksAcknowledged = 0;
    std::uint32_t framesSentAgain = 0;  // frames written again after a NAK
    UnitOutcome outcome = UnitOutcome::kCompleted;
    std::string reason;  // the outcome in words, for people
    double seconds = 0;
    std::string toolVersion;
    std::string log;  // what the unit's log pane showed
    UnitCause cause = UnitCause::kCompleted;
};

}  // namespace vantrel
