#include "records/record_report.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <vector>

#include "records/record_columns.h"
#include "records/record_text.h"
#include "records/record_time.h"
#include "text/text_columns.h"

namespace vantrel {
namespace {

// The most a table cell shows.
constexpr std::size_t kCellCap = 200;

std::string SecondsText(double seconds) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

// A store written by another program may hold anything: cells get the same
// safety as stored text, on one line.
std::string Cell(std::string_view text) {
    std::string cell = SafeText(text, kCellCap);
    std::replace_if(
        cell.begin(), cell.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return cell.empty() ? "-" : cell;
}

// Numbers as JSON numbers, the rest as text.
nlohmann::ordered_json UnitJson(const UnitRecord& stored) {
    const UnitRecord record = SafeRecord(stored);
    nlohmann::ordered_json unit = nlohmann::ordered_json::object();
    for (const RecordColumn& column : kRecordColumns) {
        nlohmann::ordered_json& field = unit[std::string(column.name)];
        switch (column.Kind()) {
            case ColumnKind::kCount:
                field = column.Of<std::uint32_t>(record);
                break;
            case ColumnKind::kReal:
                field = column.Of<double>(record);
                break;
            default:
                field = ColumnText(column, record);
        }
    }
    return unit;
}

std::string JsonText(const nlohmann::ordered_json& json, int indent = 2) {
    return json.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// An object of UnitJson as a row of kRecordColumns, for RecordFromRow.
class JsonRow {
  public:
    JsonRow(const nlohmann::json& unit, const std::string& where) : m_unit(unit), m_where(where) {}

    std::string Text(int column) const {
        // Units kept aside by a version before the column came have none.
        if (Of(column).schema > 1 && !m_unit.contains(Name(column))) {
            return "";
        }
        const nlohmann::json& field = Field(column);
        if (!field.is_string()) {
            Refuse(column, "text");
        }
        return field.get<std::string>();
    }
    std::int64_t Int(int column) const {
        const nlohmann::json& field = Field(column);
        if (!field.is_number_integer()) {
            Refuse(column, "a whole number");
        }
        return field.get<std::int64_t>();
    }
    double Real(int column) const {
        const nlohmann::json& field = Field(column);
        if (!field.is_number()) {
            Refuse(column, "a number");
        }
        return field.get<double>();
    }

  private:
    static const RecordColumn& Of(int column) {
        return kRecordColumns[static_cast<std::size_t>(column)];
    }
    static std::string Name(int column) { return std::string(Of(column).name); }
    const nlohmann::json& Field(int column) const {
        const auto found = m_unit.find(Name(column));
        if (found == m_unit.end()) {
            throw RecordStoreError(m_where + ": no \"" + Name(column) + "\"");
        }
        return *found;
    }
    [[noreturn]] void Refuse(int column, const char* kind) const {
        throw RecordStoreError(m_where + ": \"" + Name(column) + "\" is not " + kind);
    }

    const nlohmann::json& m_unit;
    const std::string& m_where;
};

// A cell a spreadsheet would take for a formula (=, +, -, @, or a tab or
// CR before one) begins with ' instead, so that it stays text.
std::string CsvField(const std::string& field) {
    const bool formula =
        !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string::npos;
    const std::string text = formula ? "'" + field : field;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

std::string FormatRecordTable(std::span<const UnitRecord> records) {
    if (records.empty()) {
        return "No units recorded.\n";
    }
    using Row = std::vector<std::string>;
    std::vector<Row> rows = {{"START (UTC)", "STATION", "PORT", "DEVICE", "KIND", "WORK ORDER",
                              "BOX", "BLOCKS", "RESENT", "OUTCOME", "SECONDS", "REASON"}};
    for (const UnitRecord& record : records) {
        // "2026-12-09T05:00:00.123456Z" as "2026-12-09 05:00:00".
        std::string start = UtcTimeText(record.start).substr(0, 19);
        start[10] = ' ';
        rows.push_back(
            {start, Cell(record.stationName.empty() ? record.host : record.stationName),
             Cell(record.portLabel), Cell(record.device), Cell(record.imageKind),
             Cell(record.workOrder), Cell(record.boxSerial),
             std::to_string(record.blocksAcknowledged) + "/" + std::to_string(record.blocksInImage),
             std::to_string(record.framesSentAgain), std::string(OutcomeName(record.outcome)),
             SecondsText(record.seconds), Cell(record.reason)});
    }
    return FormatColumns(rows);
}

std::string FormatRecordCsv(std::span<const UnitRecord> records) {
    std::string csv;
    const auto addRow = [&](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            csv += (i > 0 ? "," : "") + CsvField(fields[i]);
        }
        csv += "\r\n";
    };
    std::vector<std::string> fields;
    for (const RecordColumn& column : kRecordColumns) {
        fields.emplace_back(column.name);
    }
    addRow(fields);
    for (const UnitRecord& stored : records) {
        const UnitRecord record = SafeRecord(stored);
        fields.clear();
        for (const RecordColumn& column : kRecordColumns) {
            fields.push_back(ColumnText(column, record));
        }
        addRow(fields);
    }
    return csv;
}

std::string FormatRecordJson(std::span<const UnitRecord> records) {
    nlohmann::ordered_json units = nlohmann::ordered_json::array();
    for (const UnitRecord& record : records) {
        units.push_back(UnitJson(record));
    }
    return JsonText(units);
}

std::string FormatUnitJson(const UnitRecord& record) {
    return JsonText(UnitJson(record));
}

std::string FormatUnitJsonLine(const UnitRecord& record) {
    return JsonText(UnitJson(record), -1);
}

UnitRecord ParseUnitJson(std::string_view text, const std::string& where) {
    const nlohmann::json unit = nlohmann::json::parse(text, nullptr, false);
    if (!unit.is_object()) {
        throw RecordStoreError(where + ": not a unit's record (a JSON object)");
    }
    const UnitRecord record = RecordFromRow(JsonRow(unit, where), 0, where);
    if (record.id.empty()) {
        throw RecordStoreError(where + ": the unit has no id");
    }
    return record;
}

}  // namespace vantrel
