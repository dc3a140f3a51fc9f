// vantrel-station in a process of its own whose record file another
// program locks in the middle of a production line: no unit's record is
// lost, the exit status says so, and vantrel-records brings them in.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "records/record_report.h"
#include "records/sqlite_record_store.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/json_text.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// A first write waits 10 s for the lock, a retry 5 s later fails too: the
// units are then in the unrecorded file.
constexpr auto kAsideLimit = 40s;

std::set<std::string> FileIds(const std::string& file) {
    std::set<std::string> ids;
    if (!std::filesystem::exists(file)) {
        return ids;
    }
    for (const UnitRecord& record :
         SqliteRecordStore(file, SqliteRecordStore::Mode::kReadOnly).Latest({})) {
        ids.insert(record.id);
    }
    return ids;
}

// The units in the files of `folder`, one JSON object a line; a line the
// station is still writing is not one yet.
std::set<std::string> KeptIds(const std::filesystem::path& folder) {
    std::set<std::string> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string text = test::ReadFile(entry.path().string());
        std::istringstream lines(text.substr(0, text.rfind('\n') + 1));
        for (std::string line; std::getline(lines, line);) {
            ids.insert(ParseUnitJson(line, entry.path().string()).id);
        }
    }
    return ids;
}

// The ids of the units the station told of on standard output (--json).
std::set<std::string> EndedIds(const std::string& out) {
    std::set<std::string> ids;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json event = test::ParseJson(line, false);
        if (event.is_object() && event.contains("unit")) {
            ids.insert(event["unit"].at("id").get<std::string>());
        }
    }
    return ids;
}

// Another program holding the record file with an exclusive lock, as a
// database browser left open in a write does.
class FileLock {
  public:
    explicit FileLock(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(m_db);
    }
    ~FileLock() {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    sqlite3* m_db = nullptr;
};

TEST(StationRecordFile, LockedInTheMiddleOfALineLosesNoRecordAndImportBringsThemIn) {
    test::TempDir dir;
    const std::string file = dir.File("data/vantrel/records.sqlite");
    const std::filesystem::path unrecorded = dir.Path() / "state" / "vantrel" / "unrecorded";
    const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
    PeerOptions boxes = test::InstantOptions();
    boxes.bench = true;
    boxes.announceInterval = 200ms;
    boxes.bootDelay = 300ms;
    test::StandIn box(boxes);
    box.Run();
    test::ChildProcess station({"/usr/bin/env", "XDG_DATA_HOME=" + dir.File("data"),
                                "XDG_STATE_HOME=" + dir.File("state"), VANTREL_STATION_PATH,
                                "--loop", "--json", image, box.Path()});
    ASSERT_TRUE(station.WaitFor([&] { return FileIds(file).size() >= 2; }, 30s)) << station.Err();
    std::optional<int> status;
    {
        FileLock lock(file);
        const std::size_t before = FileIds(file).size();
        ASSERT_TRUE(station.WaitFor([&] { return KeptIds(unrecorded).size() >= 2; }, kAsideLimit))
            << station.Err();
        station.Signal(SIGINT);
        status = station.Wait(30s);
        EXPECT_EQ(FileIds(file).size(), before) << "nothing went through the lock";
    }
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0) << station.Err();
    const std::set<std::string> ended = EndedIds(station.Out());
    const std::set<std::string> kept = KeptIds(unrecorded);
    std::set<std::string> recorded = FileIds(file);
    recorded.insert(kept.begin(), kept.end());
    EXPECT_EQ(recorded, ended) << "each unit is in the record file or kept aside";
    const std::string keptFile = std::filesystem::directory_iterator(unrecorded)->path().string();
    EXPECT_NE(station.Err().find(std::to_string(kept.size()) + " units not in the record file " +
                                 file + ": they are kept in " + keptFile),
              std::string::npos)
        << station.Err();
    EXPECT_NE(station.Err().find("--import " + keptFile), std::string::npos) << station.Err();

    // Brought in, each once, also when brought in twice.
    for (const std::size_t imported : {kept.size(), std::size_t{0}}) {
        test::ChildProcess records({VANTREL_RECORDS_PATH, "--record", file, "--import", keptFile});
        EXPECT_EQ(records.Wait(30s), 0) << records.Err();
        EXPECT_TRUE(records.Out().starts_with(std::to_string(imported) + " units imported"))
            << records.Out();
    }
    EXPECT_EQ(FileIds(file), ended);
    EXPECT_EQ(SqliteRecordStore(file, SqliteRecordStore::Mode::kReadOnly).Latest({}).size(),
              ended.size());
}

}  // namespace
}  // namespace vantrel
