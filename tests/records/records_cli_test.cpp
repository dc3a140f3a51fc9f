// vantrel-records as a process: the table, CSV and JSON read back, filters,
// read-only files, units brought in from a file of their own, and its exit
// status for bad options and bad files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "records/postgres_record_store.h"
#include "records/record_columns.h"
#include "records/record_report.h"
#include "records/record_time.h"
#include "records/sqlite_record_store.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/child_process.h"
#include "tests/support/json_text.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

Ran Records(std::vector<std::string> args, std::chrono::seconds limit = 30s) {
    args.insert(args.begin(), VANTREL_RECORDS_PATH);
    test::ChildProcess child(args);
    const std::optional<int> status = child.Wait(limit);
    return {status.value_or(-1), child.Out(), child.Err()};
}

// RFC 4180: fields split at commas, rows at CRLF, quoted fields taken whole
// with "" for a quote.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (std::size_t at = 0; at < text.size();) {
        std::string& field = rows.back().back();
        if (text[at] == '"') {
            for (++at; at < text.size(); ++at) {
                if (text[at] == '"' && (at + 1 >= text.size() || text[at + 1] != '"')) {
                    ++at;
                    break;
                }
                field += text[at];
                at += text[at] == '"' ? 1 : 0;
            }
        } else if (text.compare(at, 2, "\r\n") == 0) {
            rows.emplace_back(1);
            at += 2;
        } else if (text[at] == ',') {
            rows.back().emplace_back();
            ++at;
        } else {
            field += text[at++];
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) {
        rows.pop_back();
    }
    return rows;
}

// The stored text of each field, in the column order.
std::vector<std::string> FieldTexts(const UnitRecord& record) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", record.seconds);
    return {record.id,
            UtcTimeText(record.start),
            UtcTimeText(record.end),
            record.host,
            record.stationName,
            record.operatorName,
            record.workOrder,
            record.boxSerial,
            record.portLabel,
            record.device,
            record.stableName,
            record.adapterSerial,
            record.imagePath,
            record.imageSha256,
            record.imageKind,
            std::to_string(record.blocksInImage),
            std::to_string(record.blocksAcknowledged),
            std::to_string(record.framesSentAgain),
            std::string(OutcomeName(record.outcome)),
            record.reason,
            seconds,
            record.toolVersion,
            record.log,
            std::string(CauseName(record.cause))};
}

class RecordsCli : public ::testing::Test {
  protected:
    void SetUp() override {
        SqliteRecordStore store(file);
        for (int number = 0; number < 6; ++number) {
            store.Write(Sample(number));
        }
    }

    static UnitRecord Sample(int number) {
        UnitRecord record = test::SampleRecord(number);
        if (number == 2) {
            record.reason = "the box refused the module end, \"twice\"";
            record.log = "line one\r\nline two, with a comma\n\"quoted\"\n";
        }
        return record;
    }

    std::vector<std::string> CsvIds(std::vector<std::string> args) {
        args.insert(args.end(), {"--record", file, "--csv"});
        const Ran run = Records(args);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> ids;
        const auto rows = ParseCsv(run.out);
        for (std::size_t row = 1; row < rows.size(); ++row) {
            ids.push_back(rows[row][0]);
        }
        return ids;
    }

    test::TempDir dir;
    const std::string file = dir.File("records.sqlite");
};

TEST_F(RecordsCli, CsvHoldsEveryFieldOfEveryUnitNewestFirst) {
    const Ran run = Records({"--record", file, "--csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseCsv(run.out);
    ASSERT_EQ(rows.size(), 7u) << run.out;
    EXPECT_EQ(rows[0].size(), kRecordColumns.size());
    for (std::size_t i = 0; i < kRecordColumns.size(); ++i) {
        EXPECT_EQ(rows[0][i], kRecordColumns[i].name);
    }
    for (int number = 5; number >= 0; --number) {
        EXPECT_EQ(rows[static_cast<std::size_t>(6 - number)], FieldTexts(Sample(number)));
    }
}

// Fills `path` with `count` small units, the newest numbered highest, in one
// transaction.
void FillRecordFile(const std::string& path, int count) {
    UnitRecord seed = test::SampleRecord(0, "seed");
    seed.log.clear();  // one line a unit in CSV too
    SqliteRecordStore(path).Write(seed);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string sql = "INSERT INTO units (" + RecordColumnList() + ") VALUES (";
    for (std::size_t i = 1; i <= kRecordColumns.size(); ++i) {
        sql += (i > 1 ? ", ?" : "?") + std::to_string(i);
    }
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, (sql + ")").c_str(), -1, &insert, nullptr), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    UnitRecord unit = test::SampleRecord(1);
    unit.log.clear();
    for (int number = 1; number <= count; ++number) {
        unit.id = "bulk-" + std::to_string(number);
        unit.start = test::SampleRecord(0).start + std::chrono::seconds(number);
        for (std::size_t i = 0; i < kRecordColumns.size(); ++i) {
            const std::string text = ColumnText(kRecordColumns[i], unit);
            sqlite3_bind_text(insert, static_cast<int>(i) + 1, text.data(),
                              static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

TEST(RecordsExport, TwoHundredThousandUnitsComeWholeAndInOrderInEachFormat) {
    constexpr int kUnits = VANTREL_EXPORT_UNITS;
    test::TempDir dir;
    const std::string file = dir.File("records.sqlite");
    FillRecordFile(file, kUnits);
    // Each format's units by id, in the order written: the bulk newest
    // first, then the seed unit.
    struct Format {
        const char* option;
        std::function<std::vector<std::string>(const std::string&)> ids;
    };
    const auto idsAfter = [](const std::string& text, const std::string& key) {
        std::vector<std::string> ids;
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
            at += key.size();
            ids.push_back(text.substr(at, text.find('"', at) - at));
        }
        return ids;
    };
    const Format formats[] = {
        {"--csv",
         [](const std::string& text) {
             std::vector<std::string> ids;
             std::istringstream lines(text);
             std::string names;
             std::getline(lines, names);
             for (std::string line; std::getline(lines, line);) {
                 ids.push_back(line.substr(0, line.find(',')));
             }
             return ids;
         }},
        {"--json",
         [&](const std::string& text) {
             EXPECT_TRUE(nlohmann::json::accept(text)) << "one valid document";
             return idsAfter(text, "{\n    \"id\": \"");
         }},
        {"--json-lines",
         [&](const std::string& text) {
             std::size_t lines = 0;
             std::istringstream in(text);
             for (std::string line; std::getline(in, line); ++lines) {
                 if (!nlohmann::json::accept(line)) {
                     ADD_FAILURE() << "line " << lines + 1 << " is no JSON object: " << line;
                     break;
                 }
             }
             EXPECT_EQ(lines, kUnits + 1u);
             return idsAfter(text, "{\"id\":\"");
         }},
    };
    std::vector<std::string> expected;
    for (int number = kUnits; number >= 1; --number) {
        expected.push_back("bulk-" + std::to_string(number));
    }
    expected.push_back(test::SampleRecord(0, "seed").id);
    for (const Format& format : formats) {
        const Ran run = Records({"--record", file, format.option}, 120s);
        ASSERT_EQ(run.status, 0) << format.option << ": " << run.err;
        const std::vector<std::string> ids = format.ids(run.out);
        const auto differ = std::mismatch(ids.begin(), ids.end(), expected.begin(), expected.end());
        EXPECT_TRUE(differ.first == ids.end() && differ.second == expected.end())
            << format.option << ": " << ids.size() << " units, the first out of order at "
            << differ.first - ids.begin();
    }
}

TEST_F(RecordsCli, JsonHoldsEveryFieldOfEveryUnitNewestFirst) {
    const Ran run = Records({"--json", "--record", file});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json units = test::ParseJson(run.out);
    ASSERT_EQ(units.size(), 6u);
    for (int number = 5; number >= 0; --number) {
        const nlohmann::json& unit = units[static_cast<std::size_t>(5 - number)];
        const UnitRecord expected = Sample(number);
        EXPECT_EQ(unit["id"], expected.id);
        EXPECT_EQ(unit["start_utc"], UtcTimeText(expected.start));
        EXPECT_EQ(unit["outcome"], OutcomeName(expected.outcome));
        EXPECT_EQ(unit["blocks_acknowledged"], expected.blocksAcknowledged);
        EXPECT_EQ(unit["seconds"], expected.seconds);
        EXPECT_EQ(unit["reason"], expected.reason);
        EXPECT_EQ(unit["log"], expected.log);
        EXPECT_EQ(unit.size(), kRecordColumns.size());
    }
}

TEST_F(RecordsCli, FiltersNarrowTheList) {
    const auto ids = [](std::vector<int> numbers) {
        std::vector<std::string> out;
        for (const int number : numbers) {
            out.push_back(test::SampleRecord(number).id);
        }
        return out;
    };
    const std::pair<std::vector<std::string>, std::vector<std::string>> table[] = {
        {{"--outcome", "cancelled"}, ids({2})},
        {{"--outcome", "line-lost"}, ids({3})},
        {{"--outcome", "line lost"}, ids({3})},
        {{"--port", "2"}, ids({5, 1})},
        {{"--port", "/dev/ttyUSB0"}, ids({4, 0})},
        {{"--since", UtcTimeText(test::SampleRecord(4).start)}, ids({5, 4})},
        {{"--since", "2026-12-10"}, {}},
        {{"--limit", "2"}, ids({5, 4})},
        {{"--port", "PORT 1", "--outcome", "completed"}, ids({0})},
        {{"--work-order", "WO-2"}, ids({5, 2})},
        {{"--operator", "Ana"}, ids({5, 3, 1})},
        {{"--box-serial", "QRN7700-4"}, ids({4})},
        {{"--work-order", "WO-0", "--outcome", "line-lost"}, ids({3})},
        {{"--operator", "Bj\xc3\xb6rn", "--port", "1", "--since", "2026-12-09T05:01:00Z"},
         ids({4})},
    };
    for (const auto& [args, expected] : table) {
        EXPECT_EQ(CsvIds(args), expected) << args[0] << " " << args[1];
    }
}

TEST_F(RecordsCli, TableShowsOneLinePerUnitNewestFirst) {
    const Ran run = Records({"--record", file});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::string> table;
    for (std::string line; std::getline(lines, line);) {
        table.push_back(line);
    }
    ASSERT_EQ(table.size(), 7u) << run.out;
    EXPECT_TRUE(table[0].starts_with("START (UTC)")) << table[0];
    EXPECT_TRUE(table[1].starts_with("2026-12-09 05:05:00")) << table[1];
    EXPECT_NE(table[4].find("cancelled"), std::string::npos) << table[4];
    EXPECT_NE(table[4].find("502/577"), std::string::npos) << table[4];
    EXPECT_TRUE(table[6].starts_with("2026-12-09 05:00:00")) << table[6];
}

TEST_F(RecordsCli, UsageErrorsExitTwoWithOneLineNamingTheOption) {
    const std::pair<std::vector<std::string>, std::string> table[] = {
        {{"--bogus"}, "--bogus"},
        {{"--since", "yesterday"}, "--since"},
        {{"--since"}, "--since"},
        {{"--outcome", "lost"}, "--outcome"},
        {{"--limit", "0"}, "--limit"},
        {{"--limit", "many"}, "--limit"},
        {{"--csv", "--json"}, "--csv"},
        {{"--record", "mysql://db/records"}, "--record"},
        {{"--record", "postgresql://db:99999/records"}, "--record"},
        {{"stray"}, "stray"},
    };
    for (const auto& [args, option] : table) {
        const Ran run = Records(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find(option), std::string::npos) << run.err;
        // The error's one line, then the hint at --help.
        EXPECT_TRUE(run.err.starts_with("vantrel-records: error: ")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_TRUE(run.err.ends_with("\nRun with --help for more information.\n")) << run.err;
        EXPECT_EQ(run.out, "") << args[0];
    }
}

TEST_F(RecordsCli, DamagedFileExitsOneNamingItAndStaysAsItWas) {
    const std::string notes = dir.Write("notes.sqlite", "operator notes, not records\n");
    const Ran run = Records({"--record", notes});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(notes), std::string::npos) << run.err;
    std::ifstream in(notes);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "operator notes, not records\n");
}

TEST_F(RecordsCli, AMissingFileNamedIsAnErrorAndTheDefaultOneListsNothing) {
    const std::string missing = dir.File("none.sqlite");
    const Ran named = Records({"--record", missing});
    EXPECT_EQ(named.status, 2);
    EXPECT_NE(named.err.find(missing), std::string::npos) << named.err;
    EXPECT_EQ(named.out, "");
    const std::string data = dir.File("data");
    const auto byDefault = [&](const char* format) {
        test::ChildProcess child(
            {"/usr/bin/env", "XDG_DATA_HOME=" + data, VANTREL_RECORDS_PATH, format});
        EXPECT_EQ(child.Wait(30s), 0) << child.Err();
        return child.Out();
    };
    EXPECT_EQ(byDefault("--limit=50"), "No units recorded.\n");
    EXPECT_EQ(test::ParseJson(byDefault("--json")), nlohmann::json::array());
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(std::filesystem::exists(data));
}

TEST_F(RecordsCli, ImportBringsEachUnitInOnceAndNamesTheLinesItCannotRead) {
    const std::string kept = dir.Write(
        "units.jsonl", FormatUnitJsonLine(Sample(10)) + "\n" + "not a record\n" +
                           FormatUnitJsonLine(Sample(11)) + R"({"id": "half a unit"})" + "\n" +
                           FormatUnitJsonLine(Sample(2)) + FormatUnitJsonLine(Sample(10)));
    const Ran run = Records({"--record", file, "--import", kept});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out,
              "2 units imported into " + file + ", 2 there already, 2 lines not read: 3, 5\n");
    for (const std::string line : {" line 3: ", " line 5: "}) {
        EXPECT_NE(run.err.find(kept + line), std::string::npos) << run.err;
    }
    const auto rows = ParseCsv(Records({"--record", file, "--csv"}).out);
    ASSERT_EQ(rows.size(), 1u + 8u);
    EXPECT_EQ(rows[1], FieldTexts(Sample(11)));
    EXPECT_EQ(rows[2], FieldTexts(Sample(10)));
    EXPECT_EQ(Records({"--record", file, "--import", dir.File("none.jsonl")}).status, 1);
}

// Runs vantrel-records as a user who cannot write the file even when the
// test runs as root, for whom no permission counts.
Ran RecordsAsAnotherUser(std::vector<std::string> args) {
    if (::geteuid() == 0) {
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    args.insert(args.begin() + (::geteuid() == 0 ? 4 : 0), VANTREL_RECORDS_PATH);
    test::ChildProcess child(args);
    const std::optional<int> status = child.Wait(30s);
    return {status.value_or(-1), child.Out(), child.Err()};
}

TEST_F(RecordsCli, ReadOnlyFilesAreListedAndLeftAsTheyWere) {
    namespace fs = std::filesystem;
    fs::permissions(dir.Path(),
                    fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    const std::pair<const char*, std::function<void(const fs::path&)>> table[] = {
        {"a read-only file",
         [](const fs::path& folder) {
             fs::permissions(folder / "records.sqlite", fs::perms::owner_read |
                                                            fs::perms::group_read |
                                                            fs::perms::others_read);
         }},
        {"a read-only folder",
         [](const fs::path& folder) {
             fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
         }},
    };
    for (const auto& [what, makeReadOnly] : table) {
        const fs::path folder = dir.Path() / what;
        fs::create_directory(folder);
        {
            SqliteRecordStore store((folder / "records.sqlite").string());
            store.Write(Sample(1));
            store.Write(Sample(2));
        }
        makeReadOnly(folder);
        const Ran run =
            RecordsAsAnotherUser({"--record", (folder / "records.sqlite").string(), "--json"});
        EXPECT_EQ(run.status, 0) << what << ": " << run.err;
        EXPECT_EQ(test::ParseJson(run.out, false).size(), 2u) << what << run.out;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
            << what << ": nothing beside the file";
        fs::permissions(folder, fs::perms::owner_all);
    }
}

TEST_F(RecordsCli, ReadsALinesServer) {
    test::PrivatePostgres server;
    const RecordServer target =
        *std::get<RecordTarget>(ParseRecordTarget(server.Url(), file)).server;
    {
        PostgresRecordStore store(target);
        for (int number = 0; number < 3; ++number) {
            store.Write(Sample(number));
        }
    }
    const Ran run = Records({"--record", server.Url(), "--csv", "--outcome", "failed"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseCsv(run.out);
    ASSERT_EQ(rows.size(), 2u) << run.out;
    EXPECT_EQ(rows[1], FieldTexts(Sample(1)));

    const Ran absent = Records({"--record", server.AbsentServerUrl()});
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("cannot reach the record server"), std::string::npos) << absent.err;
}

}  // namespace
}  // namespace vantrel
