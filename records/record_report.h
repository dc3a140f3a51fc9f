#pragma once

#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "records/unit_record.h"

namespace vantrel {

enum class RecordFormat {
    kTable,      // for people: one line each, in columns, without the log
    kCsv,        // every field (RFC 4180: CRLF line ends, a field with a comma,
                 // quote or line end in quotes), the column names first
    kJson,       // every field, as one JSON array of objects keyed by the column names
    kJsonLines,  // every field, one such object a line
};

// Writes a listing to `out` as its units come, each one written before the
// next is read, but the table, which lines up its columns over the rows it
// shows and holds only their cells.
class RecordWriter {
  public:
    virtual ~RecordWriter() = default;
    virtual void Add(const UnitRecord& record) = 0;
    // Ends the listing: the table is written, the array closed.
    virtual void Finish() = 0;
};
std::unique_ptr<RecordWriter> MakeRecordWriter(RecordFormat format, std::ostream& out);

// The listing of `records` as one text.
std::string FormatRecords(RecordFormat format, std::span<const UnitRecord> records);

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
