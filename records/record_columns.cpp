#include "records/record_columns.h"

#include <charconv>

namespace vantrel {

std::string ColumnText(const RecordColumn& column, const UnitRecord& record) {
    switch (column.Kind()) {
        case ColumnKind::kText:
            return column.Of<std::string>(record);
        case ColumnKind::kTime:
            return UtcTimeText(column.Of<RecordColumn::Time>(record));
        case ColumnKind::kCount:
            return std::to_string(column.Of<std::uint32_t>(record));
        case ColumnKind::kReal: {
            char text[32];
            const auto result = std::to_chars(text, text + sizeof text, column.Of<double>(record));
            return std::string(text, result.ptr);
        }
        case ColumnKind::kOutcome:
            return std::string(OutcomeName(column.Of<UnitOutcome>(record)));
    }
    return {};
}

UnitOutcome StoredOutcome(std::string_view name, const std::string& id, const std::string& store) {
    if (const auto outcome = OutcomeFromName(name)) {
        return *outcome;
    }
    throw RecordStoreError("unit " + id + " in " + store + " has an outcome this version of " +
                           "Vantrel does not know: \"" + std::string(name) + "\"");
}

}  // namespace vantrel
