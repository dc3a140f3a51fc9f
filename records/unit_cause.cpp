#include "records/unit_cause.h"

namespace vantrel {

const std::array<KnownCause, 16> kCauseNames = {{
    {UnitCause::kCompleted, "completed", "the box took the whole image"},
    {UnitCause::kReadbackIncomplete, "readback_incomplete",
     "the blocks the box sent back were not all stored"},
    {UnitCause::kModuleEndRefused, "module_end_refused", "the box refused the module end"},
    {UnitCause::kBoxRestarted, "box_restarted", "the box announced itself again during the update"},
    {UnitCause::kNoModule, "no_module", "no module was left to send"},
    {UnitCause::kCancelled, "cancelled", "the operator cancelled the unit"},
    {UnitCause::kStopped, "stopped", "the program or station was stopped during the unit"},
    {UnitCause::kBoxSilent, "box_silent", "the box sent nothing for the timeout"},
    {UnitCause::kHandshakeRefused, "handshake_refused",
     "the box refused the handshake until the timeout"},
    {UnitCause::kHeaderRefused, "header_refused",
     "the box refused the module header until the timeout"},
    {UnitCause::kBlocksRefused, "blocks_refused", "the box refused a block until the timeout"},
    {UnitCause::kGlobalEndRefused, "global_end_refused",
     "the box refused the global end until the timeout"},
    {UnitCause::kNoProgress, "no_progress",
     "the box kept answering, but nothing it sent moved the update on"},
    {UnitCause::kLineLost, "line_lost", "the port went away during the update"},
    {UnitCause::kFailed, "failed", "a failure recorded by a version that kept no cause"},
    {UnitCause::kTimedOut, "timed_out", "a timeout recorded by a version that kept no cause"},
}};

std::string_view CauseName(UnitCause cause) {
    for (const auto& known : kCauseNames) {
        if (known.cause == cause) {
            return known.name;
        }
    }
    return "unknown";
}

std::optional<UnitCause> CauseFromName(std::string_view name) {
    for (const auto& known : kCauseNames) {
        if (known.name == name) {
            return known.cause;
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
