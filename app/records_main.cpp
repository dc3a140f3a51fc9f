// vantrel-records: the latest units recorded, as a table, or exported as
// CSV or JSON, from this station's record file or a line's server; and
// units kept aside when the record file could not be written, brought in.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "records/record_report.h"
#include "records/record_store.h"
#include "records/record_store_factory.h"
#include "records/record_target.h"
#include "records/record_text.h"
#include "records/record_time.h"
#include "records/sqlite_record_store.h"
#include "records/unit_cause.h"

namespace {

constexpr int kExitListed = 0;
constexpr int kExitStoreFailed = 1;
// The table shows this many unless --limit says otherwise; exports take all.
constexpr std::size_t kTableLimit = 50;

struct Options {
    std::string record;
    bool recordGiven = false;
    std::string since;
    std::string outcome;
    std::string cause;
    std::string port;
    std::string workOrder;
    std::string operatorName;
    std::string boxSerial;
    std::size_t limit = 0;
    bool limitGiven = false;
    bool csv = false;
    bool json = false;
    bool jsonLines = false;
    std::string import;
};

int UsageError(const std::string& message) {
    return vantrel::Report(vantrel::UsageError("vantrel-records", message));
}

// "line-lost" and "line_lost" for "line lost", which a shell needs quoted.
std::optional<vantrel::UnitOutcome> ParseOutcome(std::string text) {
    for (char& c : text) {
        if (c == '-' || c == '_') {
            c = ' ';
        }
    }
    return vantrel::OutcomeFromName(text);
}

// Writes the records the filter takes as they are read; the exit status.
int List(const vantrel::RecordTarget& target, bool named, const vantrel::RecordFilter& filter,
         vantrel::RecordFormat format) {
    std::error_code error;
    const bool missing =
        !target.server && !std::filesystem::exists(target.localFile, error) && !error;
    if (missing && named) {
        return UsageError("--record: the record file " + target.localFile + " does not exist");
    }
    const auto writer = vantrel::MakeRecordWriter(format, std::cout);
    std::size_t leftOut = 0;
    // A default file not made yet holds nothing; a reader creates nothing.
    if (!missing) {
        try {
            const auto store = vantrel::OpenRecordStore(target, vantrel::RecordAccess::kRead);
            store->ForEachLatest(filter,
                                 [&](const vantrel::UnitRecord& record) { writer->Add(record); });
            leftOut = store->LeftOut();
        } catch (const std::exception& failure) {
            std::cout.flush();
            std::fprintf(stderr, "vantrel-records: error: %s\n", failure.what());
            return kExitStoreFailed;
        }
    }
    writer->Finish();
    std::cout.flush();
    if (leftOut > 0) {
        std::fprintf(stderr,
                     "vantrel-records: warning: %zu records left out: this version cannot read "
                     "them (written by a newer Vantrel?)\n",
                     leftOut);
    }
    return std::cout ? kExitListed : kExitStoreFailed;
}

// Brings the units of a file of units kept aside (one JSON object a line)
// into the record file, and with a server into its spool too: each unit
// once, however often it is brought in. Only the local file has a spool,
// so this opens it as itself.
int Import(const std::string& path, const vantrel::RecordTarget& target) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "vantrel-records: error: cannot read %s\n", path.c_str());
        return kExitStoreFailed;
    }
    std::size_t imported = 0;
    std::size_t there = 0;
    std::vector<std::size_t> unreadable;
    try {
        vantrel::SqliteRecordStore store(target.localFile);
        const std::string server = target.server ? target.server->name : "";
        std::size_t number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.find_first_not_of(" \t\r") == std::string::npos) {
                continue;
            }
            vantrel::UnitRecord record;
            try {
                record = vantrel::ParseUnitJson(line, path + " line " + std::to_string(number));
            } catch (const vantrel::RecordStoreError& error) {
                std::fprintf(stderr, "vantrel-records: error: %s\n", error.what());
                unreadable.push_back(number);
                continue;
            }
            store.WriteAndSpool(vantrel::SafeRecord(record), server) ? ++imported : ++there;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vantrel-records: error: %s\n", error.what());
        return kExitStoreFailed;
    }
    std::printf("%zu units imported into %s, %zu there already", imported, target.localFile.c_str(),
                there);
    if (!unreadable.empty()) {
        std::printf(", %zu lines not read:", unreadable.size());
        for (std::size_t i = 0; i < unreadable.size(); ++i) {
            std::printf("%s %zu", i > 0 ? "," : "", unreadable[i]);
        }
    }
    std::printf("\n");
    return std::fflush(stdout) == 0 && unreadable.empty() ? kExitListed : kExitStoreFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app(
        "Lists the units a station updated: the newest first, as a table, or every "
        "field as CSV or JSON.",
        "vantrel-records");
    vantrel::SetUpCommandLine(app);
    app.add_option("--record", options.record,
                   "Where the records are: a file, sqlite:FILE or a postgresql:// URL "
                   "(default: $XDG_DATA_HOME/vantrel/records.sqlite)")
        ->type_name("URL");
    app.add_option("--since", options.since,
                   "Units started at or after this UTC time: 2026-12-09 or 2026-12-09T05:00:00Z")
        ->type_name("TIME");
    app.add_option("--outcome", options.outcome,
                   "Units that ended so: completed, failed, cancelled, line-lost, timed-out or "
                   "readback-incomplete")
        ->type_name("OUTCOME");
    std::string causes;
    for (const auto& known : vantrel::kCauseNames) {
        causes += (causes.empty() ? "" : ", ") + std::string(known.name);
    }
    app.add_option("--cause", options.cause, "Units that ended for this cause: one of " + causes)
        ->type_name("CAUSE");
    app.add_option("--port", options.port,
                   "Units on this port: a label (PORT 1, or just 1), a device or a stable name")
        ->type_name("PORT");
    app.add_option("--work-order", options.workOrder,
                   "Units updated for this work order (the whole text, exactly)")
        ->type_name("ORDER");
    app.add_option("--operator", options.operatorName,
                   "Units this operator ran (the whole name, exactly)")
        ->type_name("NAME");
    app.add_option("--box-serial", options.boxSerial,
                   "Units of the box with this serial number (exactly)")
        ->type_name("SERIAL");
    app.add_option("--limit", options.limit,
                   "At most this many units (default: 50 in the table, all in an export)")
        ->type_name("N");
    CLI::Option* csv = app.add_flag(
        "--csv", options.csv,
        "Every field as CSV (RFC 4180); a cell that would begin with =, +, -, @, a tab or a CR "
        "begins with ' instead, so that no spreadsheet takes it for a formula");
    CLI::Option* json =
        app.add_flag("--json", options.json, "Every field as JSON: one array of objects");
    CLI::Option* jsonLines =
        app.add_flag("--json-lines", options.jsonLines, "Every field as JSON: one object a line");
    csv->excludes(json)->excludes(jsonLines);
    json->excludes(jsonLines);
    CLI::Option* import =
        app.add_option("--import", options.import,
                       "Brings the units kept in FILE, when the record file could not be "
                       "written, into the record file (and with a server URL, to the server)")
            ->type_name("FILE");
    for (const char* listing :
         {"--since", "--outcome", "--cause", "--port", "--work-order", "--operator", "--box-serial",
          "--limit", "--csv", "--json", "--json-lines"}) {
        import->excludes(listing);
    }
    if (const auto exit = vantrel::ParseCommandLine(app, argc, argv)) {
        return vantrel::Report(*exit);
    }
    options.recordGiven = app.count("--record") > 0;
    options.limitGiven = app.count("--limit") > 0;
    if (options.limitGiven && options.limit == 0) {
        return UsageError("--limit: 0 lists nothing; give 1 or more");
    }

    // Every option is checked before anything opens.
    const auto target = vantrel::ParseRecordTarget(
        options.recordGiven ? std::optional<std::string_view>(options.record) : std::nullopt,
        vantrel::DefaultRecordFile());
    if (const auto* error = std::get_if<std::string>(&target)) {
        return UsageError(*error);
    }
    vantrel::RecordFilter filter;
    if (app.count("--since") > 0) {
        filter.since = vantrel::ParseUtcTime(options.since);
        if (!filter.since) {
            return UsageError("--since: \"" + options.since +
                              "\" is not a UTC date or time (2026-12-09 or 2026-12-09T05:00:00Z)");
        }
    }
    if (app.count("--outcome") > 0) {
        filter.outcome = ParseOutcome(options.outcome);
        if (!filter.outcome) {
            return UsageError("--outcome: \"" + options.outcome +
                              "\" is none of completed, failed, cancelled, line-lost, timed-out, "
                              "readback-incomplete");
        }
    }
    if (app.count("--cause") > 0) {
        filter.cause = vantrel::CauseFromName(options.cause);
        if (!filter.cause) {
            return UsageError("--cause: \"" + options.cause + "\" is none of " + causes);
        }
    }
    filter.port = options.port;
    if (!filter.port.empty() && filter.port.find_first_not_of("0123456789") == std::string::npos) {
        filter.port = "PORT " + filter.port;
    }
    filter.workOrder = options.workOrder;
    filter.operatorName = options.operatorName;
    filter.boxSerial = options.boxSerial;
    if (app.count("--import") > 0) {
        return Import(options.import, std::get<vantrel::RecordTarget>(target));
    }
    const bool exporting = options.csv || options.json || options.jsonLines;
    filter.limit = options.limitGiven ? options.limit : exporting ? 0 : kTableLimit;

    const vantrel::RecordFormat format = options.csv         ? vantrel::RecordFormat::kCsv
                                         : options.json      ? vantrel::RecordFormat::kJson
                                         : options.jsonLines ? vantrel::RecordFormat::kJsonLines
                                                             : vantrel::RecordFormat::kTable;
    return List(std::get<vantrel::RecordTarget>(target), options.recordGiven, filter, format);
}
