#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "records/record_store.h"
#include "records/record_text.h"
#include "records/record_time.h"
#include "records/unit_record.h"

namespace vantrel {

// What a column holds, in the order of RecordColumn::field's alternatives.
enum class ColumnKind { kText, kTime, kCount, kReal, kOutcome, kCause };

// Each change of the schema, oldest first; a change is one more row, and
// says which kind it is. Programs check the version number before they
// write, and refuse one above theirs. A change that only adds (columns with
// a default, indexes, tables) keeps the number, so that the stations not
// upgraded yet go on writing, and keeps its revision beside it, where they
// do not look; only a change that an older writer would corrupt raises the
// number.
struct SchemaRevision {
    int revision;
    int version;  // the number writers check
};
inline constexpr std::array<SchemaRevision, 3> kSchemaRevisions = {{
    {1, 1},  // the units
    {2, 2},  // station name, operator, work order, box serial
    {3, 2},  // adds: the cause; indexes on box serial, work order, operator, station
}};
inline constexpr int kRecordSchemaRevision = kSchemaRevisions.back().revision;
inline constexpr int kRecordSchemaVersion = kSchemaRevisions.back().version;

// The version number of the tables at `revision`; 0 for one this version
// does not know (a newer one's).
constexpr int VersionOfRevision(int revision) {
    for (const SchemaRevision& known : kSchemaRevisions) {
        if (known.revision == revision) {
            return known.version;
        }
    }
    return 0;
}

// One field of a unit record as every store, export and import keeps it.
struct RecordColumn {
    using Time = UnitRecord::Clock::time_point;
    using Field =
        std::variant<std::string UnitRecord::*, Time UnitRecord::*, std::uint32_t UnitRecord::*,
                     double UnitRecord::*, UnitOutcome UnitRecord::*, UnitCause UnitRecord::*>;

    std::string_view name;
    Field field;
    // The schema revision that added the column. Columns added after the
    // first are text, empty for the units stored before them.
    int revision = 1;
    std::size_t textCap = kFieldTextCap;  // what SafeRecord keeps of text

    ColumnKind Kind() const { return static_cast<ColumnKind>(field.index()); }
    bool Key() const { return name == "id"; }
    template <typename T>
    T& Of(UnitRecord& record) const {
        return record.*std::get<T UnitRecord::*>(field);
    }
    template <typename T>
    const T& Of(const UnitRecord& record) const {
        return record.*std::get<T UnitRecord::*>(field);
    }
};

// Every column, in the order stores, CSV and JSON give them. A new field
// is one more row here, with the schema version that adds it.
inline constexpr std::array<RecordColumn, 24> kRecordColumns = {{
    {"id", &UnitRecord::id},
    {"start_utc", &UnitRecord::start},
    {"end_utc", &UnitRecord::end},
    {"host", &UnitRecord::host},
    {"station_name", &UnitRecord::stationName, 2},
    {"operator", &UnitRecord::operatorName, 2},
    {"work_order", &UnitRecord::workOrder, 2},
    {"box_serial", &UnitRecord::boxSerial, 2},
    {"port_label", &UnitRecord::portLabel},
    {"device", &UnitRecord::device},
    {"stable_name", &UnitRecord::stableName},
    {"adapter_serial", &UnitRecord::adapterSerial},
    {"image_path", &UnitRecord::imagePath},
    {"image_sha256", &UnitRecord::imageSha256},
    {"image_kind", &UnitRecord::imageKind},
    {"blocks_in_image", &UnitRecord::blocksInImage},
    {"blocks_acknowledged", &UnitRecord::blocksAcknowledged},
    {"frames_sent_again", &UnitRecord::framesSentAgain},
    {"outcome", &UnitRecord::outcome},
    {"reason", &UnitRecord::reason},
    {"seconds", &UnitRecord::seconds},
    {"tool_version", &UnitRecord::toolVersion},
    {"log", &UnitRecord::log, 1, kLogTextCap},
    {"cause", &UnitRecord::cause, 3},
}};

// The revision of tables that have the columns named in `has` (a
// callable taking a column name): the newest whose columns are all there.
template <typename Has>
int RevisionOfColumns(Has has) {
    int revision = 0;
    for (const SchemaRevision& known : kSchemaRevisions) {
        for (const RecordColumn& column : kRecordColumns) {
            if (column.revision == known.revision && !has(column.name)) {
                return revision;
            }
        }
        revision = known.revision;
    }
    return revision;
}

// The statements that keep kRecordSchemaRevision in `table` (one column,
// revision), or a newer one that is there.
std::string KeepRevisionSql(std::string_view table);

// The columns a filter matches exactly and the stores index besides the
// start: the listings people filter on.
inline constexpr std::array<std::string_view, 4> kIndexedColumns = {"box_serial", "work_order",
                                                                    "operator", "station_name"};

// The filters that match one column exactly, each given in RecordFilter.
struct ExactFilter {
    std::string_view column;
    std::string RecordFilter::*value;
};
inline constexpr std::array<ExactFilter, 3> kExactFilters = {{
    {"work_order", &RecordFilter::workOrder},
    {"operator", &RecordFilter::operatorName},
    {"box_serial", &RecordFilter::boxSerial},
}};

// The column `name` names; every name used is one of kRecordColumns.
constexpr const RecordColumn& ColumnNamed(std::string_view name) {
    for (const RecordColumn& column : kRecordColumns) {
        if (column.name == name) {
            return column;
        }
    }
    throw std::logic_error("not a record column");
}

// The column as a store at `revision` selects it: empty text when that
// store does not have it yet.
inline std::string SelectedColumn(const RecordColumn& column, int revision,
                                  std::string_view prefix = "") {
    return column.revision > revision ? "''" : std::string(prefix) + std::string(column.name);
}

// "id, start_utc, ..." as a store at `revision` selects them, each through
// `wrap` (the SQL text and the column).
template <typename Wrap>
std::string RecordColumnList(int revision, std::string_view prefix, Wrap wrap) {
    std::string list;
    for (const RecordColumn& column : kRecordColumns) {
        list += (list.empty() ? "" : ", ") + wrap(SelectedColumn(column, revision, prefix), column);
    }
    return list;
}
inline std::string RecordColumnList(int revision = kRecordSchemaRevision,
                                    std::string_view prefix = "") {
    return RecordColumnList(revision, prefix,
                            [](const std::string& sql, const RecordColumn&) { return sql; });
}

// The SQL that a filter on the cause adds to a store at `revision`, given
// the parameters that hold the cause's name (NULL for any) and the
// outcome that gives it (NULL for none): a unit stored without a cause
// matches the cause its outcome gives.
std::string CauseCondition(const std::string& cause, const std::string& outcome, int revision);
// The values a filter on `cause` binds: the cause's name, and the name of
// the outcome whose units, stored without a cause, are given it (empty for
// none).
struct CauseMatch {
    std::string cause;
    std::string outcome;
};
CauseMatch MatchOfCause(UnitCause cause);

// The column as text: a time as UtcTimeText, a number in the fewest digits
// that read back to it, an outcome by its name.
std::string ColumnText(const RecordColumn& column, const UnitRecord& record);

// The outcome stored as `name`, or an error naming the unit: a store
// written by a newer tool may know outcomes this one does not.
UnitOutcome StoredOutcome(std::string_view name, const std::string& id, const std::string& store);

// A stored count, held within what a record keeps.
inline std::uint32_t StoredCount(std::int64_t value) {
    return value < 0 ? 0
           : value > std::numeric_limits<std::uint32_t>::max()
               ? std::numeric_limits<std::uint32_t>::max()
               : static_cast<std::uint32_t>(value);
}

// The record in the columns of kRecordColumns from `first` on, of a row
// that gives each column as Text(i), Int(i) or Real(i): a record file's
// row, a server's, or a line of JSON. A value it cannot take is a
// RecordStoreError naming the unit and `store`.
template <typename Row>
UnitRecord RecordFromRow(const Row& row, int first, const std::string& store) {
    UnitRecord record;
    int index = first;
    for (const RecordColumn& column : kRecordColumns) {
        const int at = index++;
        switch (column.Kind()) {
            case ColumnKind::kText:
                column.Of<std::string>(record) = row.Text(at);
                break;
            case ColumnKind::kTime: {
                const std::string text = row.Text(at);
                const auto parsed = ParseUtcTime(text);
                if (!parsed) {
                    throw RecordStoreError("unit " + record.id + " in " + store +
                                           " has a time that is none: \"" + text + "\"");
                }
                column.Of<RecordColumn::Time>(record) = *parsed;
                break;
            }
            case ColumnKind::kCount:
                column.Of<std::uint32_t>(record) = StoredCount(row.Int(at));
                break;
            case ColumnKind::kReal:
                column.Of<double>(record) = row.Real(at);
                break;
            case ColumnKind::kOutcome:
                column.Of<UnitOutcome>(record) = StoredOutcome(row.Text(at), record.id, store);
                break;
            case ColumnKind::kCause:
                // After the outcome, which gives the cause of a unit stored
                // without one.
                column.Of<UnitCause>(record) =
                    CauseFromName(row.Text(at)).value_or(CauseOfOutcome(record.outcome));
                break;
        }
    }
    return record;
}

}  // namespace vantrel
