#pragma once

#include <span>
#include <string>
#include <string_view>

#include "records/unit_record.h"

namespace vantrel {

// Units for people: one line each, in columns, without the log.
std::string FormatRecordTable(std::span<const UnitRecord> records);
// Every field of every unit as CSV (RFC 4180: CRLF line ends, a field with
// a comma, quote or line end in quotes), the column names first.
std::string FormatRecordCsv(std::span<const UnitRecord> records);
// Every field of every unit as a JSON array of objects keyed by the column
// names.
std::string FormatRecordJson(std::span<const UnitRecord> records);
// One unit as one such object.
std::string FormatUnitJson(const UnitRecord& record);
// The same object on one line, with its line end.
std::string FormatUnitJsonLine(const UnitRecord& record);
// The unit of such an object; a RecordStoreError naming `where` (a file
// and line) when `text` is not one.
UnitRecord ParseUnitJson(std::string_view text, const std::string& where);

}  // namespace vantrel
