#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vantrel {

// The closed list of the ways a unit can end, one short identifier each:
// what reports and metrics count, where the reason tells a person. A cause
// never quotes the box.
enum class UnitCause {
    kCompleted,           // the box took the whole image
    kReadbackIncomplete,  // the blocks the box sent back were not all stored
    kModuleEndRefused,    // the box refused the module end
    kBoxRestarted,        // the box announced itself again during the update
    kNoModule,            // no module was left to send
    kCancelled,           // the operator cancelled the unit
    kStopped,             // the program or station was stopped during the unit
    kBoxSilent,           // the box sent nothing for the timeout
    kHandshakeRefused,    // the box refused the handshake until the timeout
    kHeaderRefused,       // the box refused the module header until the timeout
    kBlocksRefused,       // the box refused a block until the timeout
    kGlobalEndRefused,    // the box refused the global end until the timeout
    kNoProgress,          // the box kept answering, but nothing moved on
    kLineLost,            // the port went away during the update
    // Only records of versions that kept no cause: their outcome said no more.
    kFailed,
    kTimedOut,
};

struct KnownCause {
    UnitCause cause;
    std::string_view name;
    std::string_view meaning;  // one line, for the help and the man page
};
// Every cause, in the order above.
extern const std::array<KnownCause, 16> kCauseNames;

std::string_view CauseName(UnitCause cause);
std::optional<UnitCause> CauseFromName(std::string_view name);

}  // namespace vantrel
