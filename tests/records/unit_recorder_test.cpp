// The recorder on a SQLite file: records arrive made safe, several
// recorders and processes share one file, and Record never waits for it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "records/record_report.h"
#include "records/record_text.h"
#include "records/sqlite_record_store.h"
#include "records/unit_recorder.h"
#include "tests/records/sample_record.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// xxxxxxxx-xxxx-4xxx-[89ab]xxx-xxxxxxxxxxxx in lower-case hex.
bool IsRandomUuid(const std::string& id) {
    const std::string shape = "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx";
    if (id.size() != shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool hex = (id[i] >= '0' && id[i] <= '9') || (id[i] >= 'a' && id[i] <= 'f');
        const bool fits = shape[i] == 'x' ? hex
                          : shape[i] == 'y'
                              ? std::string_view("89ab").find(id[i]) != std::string_view::npos
                              : id[i] == shape[i];
        if (!fits) {
            return false;
        }
    }
    return true;
}

class UnitRecorderOnFile : public ::testing::Test {
  protected:
    std::unique_ptr<UnitRecorder> OpenRecorder() {
        RecorderOptions options;
        options.retryInterval = 20ms;
        options.unrecordedFolder = dir.File("unrecorded");
        options.onWarning = [this](const std::string& text) {
            std::lock_guard lock(mutex);
            warnings.push_back(text);
        };
        auto opened = UnitRecorder::Open({path, std::nullopt}, options);
        if (auto* error = std::get_if<std::string>(&opened)) {
            ADD_FAILURE() << *error;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<UnitRecorder>>(opened));
    }

    std::vector<UnitRecord> Stored() {
        return SqliteRecordStore(path, SqliteRecordStore::Mode::kExisting).Latest({});
    }

    test::TempDir dir;
    const std::string path = dir.File("records.sqlite");
    std::mutex mutex;
    std::vector<std::string> warnings;
};

TEST_F(UnitRecorderOnFile, RecordsArriveMadeSafeWithAnIdEach) {
    auto recorder = OpenRecorder();
    ASSERT_TRUE(recorder);
    UnitRecord plain = test::SampleRecord(1);
    UnitRecord messy = test::SampleRecord(2);
    messy.log = "\x1b[2J" + std::string(4 * kLogTextCap, 'x') + "\xff\xfe end";
    messy.reason = "refused\x01";
    UnitRecord anonymous = test::SampleRecord(3);
    anonymous.id.clear();
    for (const UnitRecord& record : {plain, messy, anonymous}) {
        EXPECT_TRUE(recorder->Record(record));
    }
    ASSERT_TRUE(recorder->Flush(20s));
    const std::vector<UnitRecord> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    test::ExpectSameRecord(plain, stored[2]);
    EXPECT_EQ(stored[1].id, messy.id);
    EXPECT_LE(stored[1].log.size(), kLogTextCap);
    EXPECT_TRUE(stored[1].log.starts_with("\\x1B[2Jxxx")) << stored[1].log.substr(0, 20);
    EXPECT_TRUE(stored[1].log.ends_with("x\\xFF\\xFE end"));
    EXPECT_EQ(stored[1].reason, "refused\\x01");
    EXPECT_TRUE(IsRandomUuid(stored[0].id)) << stored[0].id;
    const RecorderProgress progress = recorder->Close(1s);
    EXPECT_EQ(progress.stored, 3u);
    EXPECT_EQ(progress.waiting, 0u);
    EXPECT_FALSE(recorder->Record(test::SampleRecord(4))) << "nothing takes it after Close";
    std::lock_guard lock(mutex);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

std::set<std::string> Ids(const std::vector<UnitRecord>& records) {
    std::set<std::string> ids;
    for (const UnitRecord& record : records) {
        ids.insert(record.id);
    }
    return ids;
}

TEST_F(UnitRecorderOnFile, TwoRecordersOnOneFileFromTwoThreads) {
    constexpr int kEach = 60;
    auto first = OpenRecorder();
    auto second = OpenRecorder();
    ASSERT_TRUE(first && second);
    const auto record = [](UnitRecorder& recorder, const std::string& station) {
        for (int number = 0; number < kEach; ++number) {
            recorder.Record(test::SampleRecord(number, station));
        }
    };
    std::thread a(record, std::ref(*first), "station-a");
    std::thread b(record, std::ref(*second), "station-b");
    a.join();
    b.join();
    EXPECT_TRUE(first->Flush(30s));
    EXPECT_TRUE(second->Flush(30s));
    EXPECT_EQ(Ids(Stored()).size(), 2u * kEach);
    std::lock_guard lock(mutex);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST_F(UnitRecorderOnFile, TwoProcessesOnOneFile) {
    constexpr int kEach = 60;
    std::vector<std::unique_ptr<test::ChildProcess>> writers;
    for (const char* station : {"station-a", "station-b"}) {
        writers.push_back(std::make_unique<test::ChildProcess>(std::vector<std::string>{
            VANTREL_RECORD_WRITER_PATH, path, path, station, std::to_string(kEach)}));
    }
    for (auto& writer : writers) {
        EXPECT_EQ(writer->Wait(60s), 0) << writer->Err();
    }
    const std::set<std::string> ids = Ids(Stored());
    EXPECT_EQ(ids.size(), 2u * kEach);
    EXPECT_TRUE(ids.contains(test::SampleRecord(kEach - 1, "station-b").id));
}

TEST_F(UnitRecorderOnFile, RecordReturnsWhileAnotherProcessHoldsTheFile) {
    auto recorder = OpenRecorder();
    ASSERT_TRUE(recorder);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(recorder->Record(test::SampleRecord(1)));
    EXPECT_FALSE(recorder->Flush(100ms)) << "written through an exclusive lock";
    EXPECT_EQ(recorder->Status().waiting, 1u);
    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_TRUE(recorder->Flush(20s));
    EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(UnitRecorderOnFile, UnitsTheLockedFileDoesNotTakeAreKeptAsideAndGoInOnceItIsFree) {
    auto recorder = OpenRecorder();
    ASSERT_TRUE(recorder);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int number = 0; number < 3; ++number) {
        recorder->Record(test::SampleRecord(number));
    }
    // The first write waits out the lock's ten seconds; the retry fails too.
    std::string kept;
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            kept = recorder->Status().unrecordedFile;
            return recorder->Status().unrecorded == 3;
        },
        [] { std::this_thread::sleep_for(10ms); }, 30s));
    ASSERT_TRUE(kept.starts_with(dir.File("unrecorded") + "/")) << kept;
    std::istringstream lines(test::ReadFile(kept));
    int number = 0;
    for (std::string line; std::getline(lines, line); ++number) {
        test::ExpectSameRecord(test::SampleRecord(number), ParseUnitJson(line, kept));
    }
    EXPECT_EQ(number, 3);

    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    recorder->Record(test::SampleRecord(3));
    EXPECT_TRUE(recorder->Flush(20s));
    EXPECT_EQ(Ids(Stored()), Ids({test::SampleRecord(0), test::SampleRecord(1),
                                  test::SampleRecord(2), test::SampleRecord(3)}));
    const RecorderProgress progress = recorder->Close(1s);
    EXPECT_EQ(progress.NotInFile(), 0u);
    EXPECT_FALSE(std::filesystem::exists(kept)) << "each unit in it is in the record file";
    std::lock_guard lock(mutex);
    EXPECT_EQ(warnings.size(), 2u) << "the lock, then the file the units went into";
}

TEST_F(UnitRecorderOnFile, ADamagedFileIsNamedAtOpenAndLeftAlone) {
    const std::string garbage = "not a database, but the operator's notes\n";
    dir.Write("records.sqlite", garbage);
    auto opened = UnitRecorder::Open({path, std::nullopt});
    ASSERT_TRUE(std::holds_alternative<std::string>(opened));
    EXPECT_NE(std::get<std::string>(opened).find(path), std::string::npos);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
}

}  // namespace
}  // namespace vantrel
