#include "records/unit_record.h"

#include <array>
#include <utility>

namespace vantrel {
namespace {

constexpr std::array<std::pair<UnitOutcome, std::string_view>, 6> kNames = {{
    {UnitOutcome::kCompleted, "completed"},
    {UnitOutcome::kFailed, "failed"},
    {UnitOutcome::kCancelled, "cancelled"},
    {UnitOutcome::kLineLost, "line lost"},
    {UnitOutcome::kTimedOut, "timed out"},
    {UnitOutcome::kReadbackIncomplete, "readback incomplete"},
}};

}  // namespace

std::string_view OutcomeName(UnitOutcome outcome) {
    for (const auto& [value, name] : kNames) {
        if (value == outcome) {
            return name;
        }
    }
    return "unknown";
}

std::optional<UnitOutcome> OutcomeFromName(std::string_view name) {
    for (const auto& [value, known] : kNames) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

UnitCause CauseOfOutcome(UnitOutcome outcome) {
    switch (outcome) {
        case UnitOutcome::kCompleted:
            return UnitCause::kCompleted;
        case UnitOutcome::kCancelled:
            return UnitCause::kCancelled;
        case UnitOutcome::kLineLost:
            return UnitCause::kLineLost;
        case UnitOutcome::kTimedOut:
            return UnitCause::kTimedOut;
        case UnitOutcome::kReadbackIncomplete:
            return UnitCause::kReadbackIncomplete;
        case UnitOutcome::kFailed:
            break;
    }
    return UnitCause::kFailed;
}

}  // namespace vantrel
