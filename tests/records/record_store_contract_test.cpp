// What every record store does, the SQLite file and a PostgreSQL server
// alike: every field back as written, the newest first, filters, and a
// record sent twice kept once.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>

#include "records/postgres_record_store.h"
#include "records/record_target.h"
#include "records/record_text.h"
#include "records/sqlite_record_store.h"
#include "tests/records/private_postgres.h"
#include "tests/records/sample_record.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono;

class RecordStoreContract : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "postgresql") {
            server = std::make_unique<test::PrivatePostgres>();
        }
    }

    std::unique_ptr<RecordStore> Open() {
        if (!server) {
            return std::make_unique<SqliteRecordStore>(dir.File("records.sqlite"));
        }
        const auto target = ParseRecordTarget(server->Url(), dir.File("spool.sqlite"));
        return std::make_unique<PostgresRecordStore>(*std::get<RecordTarget>(target).server);
    }

    std::vector<std::string> Ids(const std::vector<UnitRecord>& records) {
        std::vector<std::string> ids;
        for (const UnitRecord& record : records) {
            ids.push_back(record.id);
        }
        return ids;
    }

    test::TempDir dir;
    std::unique_ptr<test::PrivatePostgres> server;
};

TEST_P(RecordStoreContract, KeepsEveryFieldNewestFirst) {
    auto store = Open();
    for (const int number : {3, 0, 4, 1, 2}) {
        store->Write(test::SampleRecord(number));
    }
    const std::vector<UnitRecord> records = store->Latest({});
    ASSERT_EQ(records.size(), 5u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        test::ExpectSameRecord(test::SampleRecord(4 - static_cast<int>(i)), records[i]);
    }
    // A second connection sees the same.
    EXPECT_EQ(Ids(Open()->Latest({})), Ids(records));
}

TEST_P(RecordStoreContract, KeepsAwkwardTextAndExtremeNumbersExactly) {
    UnitRecord record = test::SampleRecord(7);
    record.reason = "it's \"quoted\"; DROP TABLE units; -- \\ %s $1 ?1";
    record.imagePath = "/srv/\xe7\x94\xbb\xe5\x83\x8f/\xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xa6.bin";
    record.log = SafeText(std::string(2 * kLogTextCap, '\x01') + "end", kLogTextCap);
    record.stableName.clear();
    record.adapterSerial.clear();
    record.blocksInImage = 0xFFFFFFFFu;
    record.framesSentAgain = 0;
    record.seconds = 0.1 + 0.2;
    record.start = system_clock::time_point{} - microseconds{1};
    auto store = Open();
    store->Write(record);
    const std::vector<UnitRecord> records = store->Latest({});
    ASSERT_EQ(records.size(), 1u);
    test::ExpectSameRecord(record, records[0]);
}

TEST_P(RecordStoreContract, FiltersAndLimits) {
    auto store = Open();
    for (int number = 0; number < 10; ++number) {
        store->Write(test::SampleRecord(number));
    }
    const auto since = [](int number) { return test::SampleRecord(number).start; };
    struct Case {
        const char* what;
        std::function<void(RecordFilter&)> narrow;
        std::vector<int> numbers;
    };
    const std::vector<Case> table = {
        {"since the 7th", [&](RecordFilter& f) { f.since = since(7); }, {9, 8, 7}},
        {"since a later day",
         [](RecordFilter& f) { f.since = sys_days{year{2026} / 12 / 10}; },
         {}},
        {"failed", [](RecordFilter& f) { f.outcome = UnitOutcome::kFailed; }, {7, 1}},
        {"readback incomplete",
         [](RecordFilter& f) { f.outcome = UnitOutcome::kReadbackIncomplete; },
         {5}},
        {"by label", [](RecordFilter& f) { f.port = "PORT 2"; }, {9, 5, 1}},
        {"by device", [](RecordFilter& f) { f.port = "/dev/ttyUSB3"; }, {7, 3}},
        {"by stable name", [](RecordFilter& f) { f.port = test::SampleRecord(4).stableName; }, {4}},
        {"an unknown port", [](RecordFilter& f) { f.port = "PORT 9"; }, {}},
        {"the newest 3", [](RecordFilter& f) { f.limit = 3; }, {9, 8, 7}},
        {"completed on PORT 1",
         [](RecordFilter& f) {
             f.outcome = UnitOutcome::kCompleted;
             f.port = "PORT 1";
         },
         {0}},
        {"cancelled since the 5th",
         [&](RecordFilter& f) {
             f.since = since(5);
             f.outcome = UnitOutcome::kCancelled;
         },
         {8}},
        {"a work order", [](RecordFilter& f) { f.workOrder = "WO-1"; }, {7, 4, 1}},
        {"an operator", [](RecordFilter& f) { f.operatorName = "Bj\xc3\xb6rn"; }, {8, 6, 4, 2, 0}},
        {"a box serial", [](RecordFilter& f) { f.boxSerial = "QRN7700-3"; }, {3}},
        {"a box serial matched whole", [](RecordFilter& f) { f.boxSerial = "QRN7700"; }, {}},
        {"an operator in another case", [](RecordFilter& f) { f.operatorName = "ana"; }, {}},
        {"a work order on PORT 1",
         [](RecordFilter& f) {
             f.port = "PORT 1";
             f.workOrder = "WO-0";
         },
         {0}},
        {"a work order and an operator",
         [](RecordFilter& f) {
             f.workOrder = "WO-0";
             f.operatorName = "Ana";
         },
         {9, 3}},
        {"the newest 1 of an operator",
         [](RecordFilter& f) {
             f.limit = 1;
             f.operatorName = "Ana";
         },
         {9}},
        {"a cause", [](RecordFilter& f) { f.cause = UnitCause::kBoxSilent; }, {7}},
        {"a cause no unit has", [](RecordFilter& f) { f.cause = UnitCause::kTimedOut; }, {}},
        {"a box serial since the 5th",
         [&](RecordFilter& f) {
             f.since = since(5);
             f.boxSerial = "QRN7700-3";
         },
         {}},
    };
    for (const Case& c : table) {
        std::vector<std::string> expected;
        for (const int number : c.numbers) {
            expected.push_back(test::SampleRecord(number).id);
        }
        RecordFilter filter;
        c.narrow(filter);
        EXPECT_EQ(Ids(store->Latest(filter)), expected) << c.what;
    }
}

// More units than a server's page, several started at the same moment:
// each comes once, newest first and by id among equals, also with a limit
// and a filter that cut a page.
TEST_P(RecordStoreContract, AListingLongerThanAPageComesWholeAndInOrder) {
    auto store = Open();
    std::vector<std::string> expected;
    for (int number = 0; number < 600; ++number) {
        UnitRecord record = test::SampleRecord(number);
        record.start = test::SampleRecord(number / 3).start;
        store->Write(record);
        expected.insert(expected.begin(), record.id);
    }
    // Among units started together the higher id comes first.
    for (std::size_t i = 0; i + 2 < expected.size(); i += 3) {
        std::sort(expected.begin() + static_cast<long>(i),
                  expected.begin() + static_cast<long>(i) + 3, std::greater<>());
    }
    std::vector<std::string> streamed;
    store->ForEachLatest({}, [&](const UnitRecord& record) { streamed.push_back(record.id); });
    EXPECT_EQ(streamed, expected);
    RecordFilter limited;
    limited.limit = 300;
    EXPECT_EQ(Ids(store->Latest(limited)),
              std::vector<std::string>(expected.begin(), expected.begin() + 300));
    RecordFilter ana;
    ana.operatorName = "Ana";
    std::vector<std::string> anas;
    std::copy_if(
        expected.begin(), expected.end(), std::back_inserter(anas),
        [](const std::string& id) { return (std::stoi(id.substr(id.rfind('-') + 1)) % 2) == 1; });
    EXPECT_EQ(Ids(store->Latest(ana)), anas);
}

TEST_P(RecordStoreContract, ARecordSentTwiceIsKeptOnce) {
    auto store = Open();
    const UnitRecord first = test::SampleRecord(1);
    UnitRecord again = first;
    again.reason = "sent again after a lost answer";
    store->Write(first);
    store->Write(again);
    const std::vector<UnitRecord> records = store->Latest({});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].reason, first.reason);
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordStoreContract, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace vantrel
