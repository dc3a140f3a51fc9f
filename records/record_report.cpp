#include "records/record_report.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
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
        if (Of(column).revision > 1 && !m_unit.contains(Name(column))) {
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

class TableWriter final : public RecordWriter {
  public:
    explicit TableWriter(std::ostream& out) : m_out(out) {}

    void Add(const UnitRecord& record) override {
        // "2026-12-09T05:00:00.123456Z" as "2026-12-09 05:00:00".
        std::string start = UtcTimeText(record.start).substr(0, 19);
        start[10] = ' ';
        m_rows.push_back(
            {start, Cell(record.stationName.empty() ? record.host : record.stationName),
             Cell(record.portLabel), Cell(record.device), Cell(record.imageKind),
             Cell(record.workOrder), Cell(record.boxSerial),
             std::to_string(record.blocksAcknowledged) + "/" + std::to_string(record.blocksInImage),
             std::to_string(record.framesSentAgain), std::string(OutcomeName(record.outcome)),
             SecondsText(record.seconds), Cell(record.reason)});
    }
    void Finish() override {
        m_out << (m_rows.size() == 1 ? std::string("No units recorded.\n") : FormatColumns(m_rows));
    }

  private:
    std::ostream& m_out;
    std::vector<std::vector<std::string>> m_rows = {{"START (UTC)", "STATION", "PORT", "DEVICE",
                                                     "KIND", "WORK ORDER", "BOX", "BLOCKS",
                                                     "RESENT", "OUTCOME", "SECONDS", "REASON"}};
};

class CsvWriter final : public RecordWriter {
  public:
    explicit CsvWriter(std::ostream& out) : m_out(out) {
        for (const RecordColumn& column : kRecordColumns) {
            m_fields.emplace_back(column.name);
        }
        AddRow();
    }

    void Add(const UnitRecord& stored) override {
        const UnitRecord record = SafeRecord(stored);
        m_fields.clear();
        for (const RecordColumn& column : kRecordColumns) {
            m_fields.push_back(ColumnText(column, record));
        }
        AddRow();
    }
    void Finish() override {}

  private:
    void AddRow() {
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            m_out << (i > 0 ? "," : "") << CsvField(m_fields[i]);
        }
        m_out << "\r\n";
    }

    std::ostream& m_out;
    std::vector<std::string> m_fields;
};

// One document however many units: "[", the objects indented as one
// array's elements, "]".
class JsonWriter final : public RecordWriter {
  public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    void Add(const UnitRecord& record) override {
        const std::string object = JsonText(UnitJson(record));
        std::string element = m_units++ == 0 ? "[\n  " : ",\n  ";
        element.reserve(element.size() + object.size() + object.size() / 8);
        // Only the layout has line ends (a string's are escaped), and the
        // last one ends the element.
        for (std::size_t i = 0; i + 1 < object.size(); ++i) {
            element += object[i];
            if (object[i] == '\n') {
                element += "  ";
            }
        }
        m_out << element;
    }
    void Finish() override { m_out << (m_units == 0 ? "[]\n" : "\n]\n"); }

  private:
    std::ostream& m_out;
    std::size_t m_units = 0;
};

class JsonLinesWriter final : public RecordWriter {
  public:
    explicit JsonLinesWriter(std::ostream& out) : m_out(out) {}
    void Add(const UnitRecord& record) override { m_out << FormatUnitJsonLine(record); }
    void Finish() override {}

  private:
    std::ostream& m_out;
};

}  // namespace

std::unique_ptr<RecordWriter> MakeRecordWriter(RecordFormat format, std::ostream& out) {
    switch (format) {
        case RecordFormat::kCsv:
            return std::make_unique<CsvWriter>(out);
        case RecordFormat::kJson:
            return std::make_unique<JsonWriter>(out);
        case RecordFormat::kJsonLines:
            return std::make_unique<JsonLinesWriter>(out);
        case RecordFormat::kTable:
            break;
    }
    return std::make_unique<TableWriter>(out);
}

std::string FormatRecords(RecordFormat format, std::span<const UnitRecord> records) {
    std::ostringstream text;
    const auto writer = MakeRecordWriter(format, text);
    for (const UnitRecord& record : records) {
        writer->Add(record);
    }
    writer->Finish();
    return text.str();
}

std::string FormatRecordTable(std::span<const UnitRecord> records) {
    return FormatRecords(RecordFormat::kTable, records);
}

std::string FormatRecordCsv(std::span<const UnitRecord> records) {
    return FormatRecords(RecordFormat::kCsv, records);
}

std::string FormatRecordJson(std::span<const UnitRecord> records) {
    return FormatRecords(RecordFormat::kJson, records);
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
