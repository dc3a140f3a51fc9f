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
        case ColumnKind::kCause:
            return std::string(CauseName(column.Of<UnitCause>(record)));
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

std::string KeepRevisionSql(std::string_view table) {
    const std::string name(table);
    const std::string revision = std::to_string(kRecordSchemaRevision);
    return "INSERT INTO " + name + " (revision) SELECT " + revision +
           " WHERE NOT EXISTS (SELECT 1 FROM " + name + " WHERE revision >= " + revision +
           ");\nDELETE FROM " + name + " WHERE revision < (SELECT max(revision) FROM " + name +
           ");\n";
}

std::string CauseCondition(const std::string& cause, const std::string& outcome, int revision) {
    const std::string column = SelectedColumn(ColumnNamed("cause"), revision);
    return "(" + cause + " IS NULL OR " + column + " = " + cause + " OR (" + column +
           " = '' AND outcome = " + outcome + "))";
}

CauseMatch MatchOfCause(UnitCause cause) {
    CauseMatch match{std::string(CauseName(cause)), ""};
    for (const UnitOutcome outcome :
         {UnitOutcome::kCompleted, UnitOutcome::kFailed, UnitOutcome::kCancelled,
          UnitOutcome::kLineLost, UnitOutcome::kTimedOut, UnitOutcome::kReadbackIncomplete}) {
        if (CauseOfOutcome(outcome) == cause) {
            match.outcome = OutcomeName(outcome);
        }
    }
    return match;
}

}  // namespace vantrel
