// A station pins the image it began its shift with: a file replaced while
// boxes are being updated is never sent.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "engine/image_digest.h"
#include "records/sqlite_record_store.h"
#include "tests/support/child_process.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

std::string DigestOf(const std::string& bytes) {
    return Sha256Hex({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

TEST(StationImagePin, AnImageReplacedDuringTheShiftStartsNoFurtherUnit) {
    test::TempDir dir;
    const std::string first = test::MakeImageBytes({"LOAD", 66560});
    std::string second = first;
    second.back() ^= 0x5A;  // an image of the same kind that passes every check
    const std::string image = dir.Write("image.bin", first);
    const std::string records = (dir.Path() / "records.sqlite").string();

    PeerOptions options = test::InstantOptions();
    options.bench = true;  // another box after each, as on a line
    options.announceInterval = 200ms;
    options.pacingBaud = 460800;  // long enough a unit to replace the file during it
    test::StandIn box(options);
    box.Run();
    test::ChildProcess station(
        {VANTREL_STATION_PATH, "--loop", "--record", records, image, box.Path()});

    ASSERT_TRUE(
        station.WaitFor([&] { return station.Out().find("BOOT on") != std::string::npos; }, 20s))
        << station.Err();
    // Replaced as an operator's copy would replace it: a new file, renamed over.
    const std::string replacement = dir.Write("image.bin.new", second);
    std::filesystem::rename(replacement, image);

    const std::optional<int> status = station.Wait(60s);
    ASSERT_TRUE(status.has_value()) << "the station goes on after the image changed";
    EXPECT_EQ(*status, 1);
    for (const std::string& digest : {DigestOf(first), DigestOf(second)}) {
        EXPECT_NE(station.Err().find(ShortDigest(digest)), std::string::npos)
            << "both digests are named: " << station.Err();
    }
    EXPECT_NE(station.Out().find("image changed"), std::string::npos) << station.Out();

    SqliteRecordStore file(records, SqliteRecordStore::Mode::kExisting);
    const std::vector<UnitRecord> units = file.Latest({});
    ASSERT_EQ(units.size(), 1u) << "no second unit starts";
    EXPECT_EQ(units[0].outcome, UnitOutcome::kCompleted) << units[0].reason;
    EXPECT_EQ(units[0].imageSha256, DigestOf(first));
    EXPECT_EQ(box.Progress().counters.updatesVerified, 1u);
}

}  // namespace
}  // namespace vantrel
