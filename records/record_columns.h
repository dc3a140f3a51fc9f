#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "records/record_store.h"
#include "records/record_time.h"
#include "records/unit_record.h"

namespace vantrel {

// The columns a record is stored in, by both stores, in the order of
// UnitRecord's fields.
inline constexpr std::array<std::string_view, 19> kRecordColumns = {
    "id",
    "start_utc",
    "end_utc",
    "host",
    "port_label",
    "device",
    "stable_name",
    "adapter_serial",
    "image_path",
    "image_sha256",
    "image_kind",
    "blocks_in_image",
    "blocks_acknowledged",
    "frames_sent_again",
    "outcome",
    "reason",
    "seconds",
    "tool_version",
    "log",
};

// "id, start_utc, ...", each name after `prefix`.
inline std::string RecordColumnList(std::string_view prefix = "") {
    std::string list;
    for (const std::string_view column : kRecordColumns) {
        list += (list.empty() ? "" : ", ") + std::string(prefix) + std::string(column);
    }
    return list;
}

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
// row, or a line of JSON. A value it cannot take is a RecordStoreError
// naming the unit and `store`.
template <typename Row>
UnitRecord RecordFromRow(const Row& row, int first, const std::string& store) {
    UnitRecord record;
    int column = first;
    record.id = row.Text(column++);
    const auto time = [&](int index) {
        const std::string text = row.Text(index);
        const auto parsed = ParseUtcTime(text);
        if (!parsed) {
            throw RecordStoreError("unit " + record.id + " in " + store + " has a time that " +
                                   "is none: \"" + text + "\"");
        }
        return *parsed;
    };
    record.start = time(column++);
    record.end = time(column++);
    for (std::string* text :
         {&record.host, &record.portLabel, &record.device, &record.stableName,
          &record.adapterSerial, &record.imagePath, &record.imageSha256, &record.imageKind}) {
        *text = row.Text(column++);
    }
    record.blocksInImage = StoredCount(row.Int(column++));
    record.blocksAcknowledged = StoredCount(row.Int(column++));
    record.framesSentAgain = StoredCount(row.Int(column++));
    record.outcome = StoredOutcome(row.Text(column++), record.id, store);
    record.reason = row.Text(column++);
    record.seconds = row.Real(column++);
    record.toolVersion = row.Text(column++);
    record.log = row.Text(column++);
    return record;
}

}  // namespace vantrel
