#pragma once

#include <array>
#include <string>
#include <string_view>

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

}  // namespace vantrel
