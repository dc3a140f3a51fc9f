#include "records/record_columns.h"

#include "records/record_store.h"

namespace vantrel {

UnitOutcome StoredOutcome(std::string_view name, const std::string& id, const std::string& store) {
    if (const auto outcome = OutcomeFromName(name)) {
        return *outcome;
    }
    throw RecordStoreError("unit " + id + " in " + store + " has an outcome this version of " +
                           "Vantrel does not know: \"" + std::string(name) + "\"");
}

}  // namespace vantrel
