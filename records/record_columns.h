#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
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
enum class ColumnKind { kText, kTime, kCount, kReal, kOutcome };

// One field of a unit record as every store, export and import keeps it.
struct RecordColumn {
    using Time = UnitRecord::Clock::time_point;
    using Field =
        std::variant<std::string UnitRecord::*, Time UnitRecord::*, std::uint32_t UnitRecord::*,
                     double UnitRecord::*, UnitOutcome UnitRecord::*>;

    std::string_view name;
    Field field;
    // The schema version that added the column. Columns added after the
    // first are text, empty for the units stored before them.
    int schema = 1;
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
inline constexpr std::array<RecordColumn, 23> kRecordColumns = {{
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
}};

// The newest schema version: the highest that any column names.
inline constexpr int kRecordSchemaVersion = [] {
    int newest = 1;
    for (const RecordColumn& column : kRecordColumns) {
        newest = column.schema > newest ? column.schema : newest;
    }
    return newest;
}();

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

// The column as a store of `schema` selects it: empty text when that store
// does not have it yet.
inline std::string SelectedColumn(const RecordColumn& column, int schema,
                                  std::string_view prefix = "") {
    return column.schema > schema ? "''" : std::string(prefix) + std::string(column.name);
}

// "id, start_utc, ..." as a store of `schema` selects them, each through
// `wrap` (the SQL text and the column).
template <typename Wrap>
std::string RecordColumnList(int schema, std::string_view prefix, Wrap wrap) {
    std::string list;
    for (const RecordColumn& column : kRecordColumns) {
        list += (list.empty() ? "" : ", ") + wrap(SelectedColumn(column, schema, prefix), column);
    }
    return list;
}
inline std::string RecordColumnList(int schema = kRecordSchemaVersion,
                                    std::string_view prefix = "") {
    return RecordColumnList(schema, prefix,
                            [](const std::string& sql, const RecordColumn&) { return sql; });
}

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
        }
    }
    return record;
}

}  // namespace vantrel
