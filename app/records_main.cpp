// vantrel-records: the latest units recorded, as a table, or exported as
// CSV or JSON, from this station's record file or a line's server.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "records/postgres_record_store.h"
#include "records/record_report.h"
#include "records/record_target.h"
#include "records/record_time.h"
#include "records/sqlite_record_store.h"

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
    std::string port;
    std::size_t limit = 0;
    bool limitGiven = false;
    bool csv = false;
    bool json = false;
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

std::vector<vantrel::UnitRecord> ReadRecords(const vantrel::RecordTarget& target,
                                             const vantrel::RecordFilter& filter) {
    if (target.server) {
        vantrel::PostgresRecordStore store(*target.server,
                                           vantrel::PostgresRecordStore::Mode::kExisting);
        return store.Latest(filter);
    }
    std::error_code error;
    if (!std::filesystem::exists(target.localFile, error) && !error) {
        // Nothing recorded here yet; a reader creates nothing.
        return {};
    }
    vantrel::SqliteRecordStore store(target.localFile, vantrel::SqliteRecordStore::Mode::kExisting);
    return store.Latest(filter);
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
                   "Units that ended so: completed, failed, cancelled, line-lost or timed-out")
        ->type_name("OUTCOME");
    app.add_option("--port", options.port,
                   "Units on this port: a label (PORT 1, or just 1), a device or a stable name")
        ->type_name("PORT");
    app.add_option("--limit", options.limit,
                   "At most this many units (default: 50 in the table, all for --csv and --json)")
        ->type_name("N");
    CLI::Option* csv = app.add_flag("--csv", options.csv, "Every field as CSV (RFC 4180)");
    CLI::Option* json = app.add_flag("--json", options.json, "Every field as JSON");
    csv->excludes(json);
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
                              "\" is none of completed, failed, cancelled, line-lost, timed-out");
        }
    }
    filter.port = options.port;
    if (!filter.port.empty() && filter.port.find_first_not_of("0123456789") == std::string::npos) {
        filter.port = "PORT " + filter.port;
    }
    const bool exporting = options.csv || options.json;
    filter.limit = options.limitGiven ? options.limit : exporting ? 0 : kTableLimit;

    std::vector<vantrel::UnitRecord> records;
    try {
        records = ReadRecords(std::get<vantrel::RecordTarget>(target), filter);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vantrel-records: error: %s\n", error.what());
        return kExitStoreFailed;
    }
    const std::string text = options.csv    ? vantrel::FormatRecordCsv(records)
                             : options.json ? vantrel::FormatRecordJson(records)
                                            : vantrel::FormatRecordTable(records);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitListed : kExitStoreFailed;
}
