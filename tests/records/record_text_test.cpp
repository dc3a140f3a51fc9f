// The words stored for outcomes, log text made safe and bounded, and UTC
// time text.
#include <gtest/gtest.h>

#include <chrono>

#include "records/record_text.h"
#include "records/record_time.h"
#include "records/unit_record.h"

namespace vantrel {
namespace {

using namespace std::chrono;
using namespace std::string_literals;

TEST(OutcomeName, EachOutcomeHasItsWordsAndBack) {
    const std::pair<UnitOutcome, std::string_view> table[] = {
        {UnitOutcome::kCompleted, "completed"},
        {UnitOutcome::kFailed, "failed"},
        {UnitOutcome::kCancelled, "cancelled"},
        {UnitOutcome::kLineLost, "line lost"},
        {UnitOutcome::kTimedOut, "timed out"},
        {UnitOutcome::kReadbackIncomplete, "readback incomplete"},
    };
    for (const auto& [outcome, name] : table) {
        EXPECT_EQ(OutcomeName(outcome), name);
        EXPECT_EQ(OutcomeFromName(name), outcome) << name;
    }
    for (const std::string_view other : {"", "Completed", "line_lost", "completed ", "ok"}) {
        EXPECT_EQ(OutcomeFromName(other), std::nullopt) << other;
    }
}

TEST(SafeText, EscapesWhatIsNotPlainText) {
    const std::pair<std::string, std::string> table[] = {
        {"plain text\r\n\ttabbed", "plain text\r\n\ttabbed"},
        {"C:\\images\\x41", "C:\\images\\x41"},
        {"\x1b[31mred", "\\x1B[31mred"},
        {"a\0b"s, "a\\x00b"},
        {"del\x7f", "del\\x7F"},
        {"\xc2\x9b"
         "csi",
         "\\xC2\\x9Bcsi"},                 // C1 control
        {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},  // U+00A0 is text
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"\xff\xfe", "\\xFF\\xFE"},
        {"cut \xc3", "cut \\xC3"},
        {"\xe2\x82(", "\\xE2\\x82("},
        {"\xc0\xaf", "\\xC0\\xAF"},                    // overlong '/'
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},           // a surrogate
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
        {"\x80lone", "\\x80lone"},
    };
    for (const auto& [raw, safe] : table) {
        EXPECT_EQ(SafeText(raw, kLogTextCap), safe) << raw;
    }
}

// Splits a cut text into what comes before the marker, the bytes cut and
// what comes after.
struct CutText {
    std::string head;
    std::size_t cut = 0;
    std::string tail;
};
std::optional<CutText> SplitAtMarker(const std::string& text) {
    const std::string opening = "\n[... ";
    const std::string closing = " bytes cut ...]\n";
    const std::size_t start = text.find(opening);
    const std::size_t digits = start + opening.size();
    const std::size_t end = text.find(closing, digits);
    if (start == std::string::npos || end == std::string::npos || end == digits ||
        text.find_first_not_of("0123456789", digits) != end) {
        return std::nullopt;
    }
    return CutText{text.substr(0, start), std::stoul(text.substr(digits, end - digits)),
                   text.substr(end + closing.size())};
}

TEST(SafeText, HugeLogKeepsItsBeginningAndEndAndSaysWhatWasCut) {
    std::string raw;
    for (int line = 0; raw.size() < 4 * kLogTextCap; ++line) {
        raw += "line " + std::to_string(line) + "\n";
    }
    const std::string safe = SafeText(raw, kLogTextCap);
    EXPECT_LE(safe.size(), kLogTextCap);
    const auto parts = SplitAtMarker(safe);
    ASSERT_TRUE(parts);
    EXPECT_EQ(raw.substr(0, parts->head.size()), parts->head);
    EXPECT_EQ(raw.substr(raw.size() - parts->tail.size()), parts->tail);
    EXPECT_EQ(parts->head.size() + parts->cut + parts->tail.size(), raw.size());
    EXPECT_GT(parts->head.size() + parts->tail.size(), kLogTextCap * 9 / 10) << "cap mostly used";
}

TEST(SafeText, TextThatFitsExactlyIsKept) {
    const std::string raw(1000, 'x');
    EXPECT_EQ(SafeText(raw, 1000), raw);
    EXPECT_TRUE(SplitAtMarker(SafeText(raw + "y", 1000)));
}

// Cuts at every offset against characters of each length and escapes:
// whatever is kept is whole, so making it safe again changes nothing.
TEST(SafeText, CuttingNeverSplitsACharacterOrAnEscape) {
    const std::string pieces[] = {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xff",
                                  "a\xc3\xa9\xff\xe2\x82\xac\x01"};
    for (const std::string& piece : pieces) {
        std::string raw;
        while (raw.size() < 5000) {
            raw += piece;
        }
        for (std::size_t cap = 100; cap < 140; ++cap) {
            const std::string safe = SafeText(raw, cap);
            EXPECT_LE(safe.size(), cap);
            EXPECT_EQ(SafeText(safe, cap), safe) << "piece " << piece << ", cap " << cap;
            ASSERT_TRUE(SplitAtMarker(safe)) << cap;
        }
    }
}

TEST(SafeText, TinyCapKeepsOnlyTheBeginning) {
    EXPECT_EQ(SafeText("abcdefghij\xff", 8), "abcdefgh");
    EXPECT_EQ(SafeText("abcdefg\xff", 8), "abcdefg");  // no half escape
}

TEST(SafeRecord, BoundsEveryField) {
    const std::string garbage(3 * kFieldTextCap, '\xff');
    UnitRecord record;
    for (std::string* field :
         {&record.id, &record.host, &record.portLabel, &record.device, &record.stableName,
          &record.adapterSerial, &record.imagePath, &record.imageSha256, &record.imageKind,
          &record.reason, &record.toolVersion}) {
        *field = garbage;
    }
    record.log = std::string(3 * kLogTextCap, '\x1b');
    const UnitRecord safe = SafeRecord(record);
    for (const std::string* field :
         {&safe.id, &safe.host, &safe.portLabel, &safe.device, &safe.stableName,
          &safe.adapterSerial, &safe.imagePath, &safe.imageSha256, &safe.imageKind, &safe.reason,
          &safe.toolVersion}) {
        EXPECT_LE(field->size(), kFieldTextCap);
        EXPECT_EQ(field->substr(0, 8), "\\xFF\\xFF");
    }
    EXPECT_LE(safe.log.size(), kLogTextCap);
    EXPECT_EQ(safe.log.substr(0, 4), "\\x1B");
}

TEST(UtcTimeText, FixedWidthToTheMicrosecond) {
    const sys_days day = year{2026} / 12 / 9;
    const std::pair<system_clock::time_point, std::string> table[] = {
        {system_clock::time_point{}, "1970-01-01T00:00:00.000000Z"},
        {day + hours{5} + microseconds{1}, "2026-12-09T05:00:00.000001Z"},
        {day + hours{23} + minutes{59} + seconds{59} + nanoseconds{999999999},
         "2026-12-09T23:59:59.999999Z"},
        {system_clock::time_point{} - microseconds{1}, "1969-12-31T23:59:59.999999Z"},
    };
    for (const auto& [time, text] : table) {
        EXPECT_EQ(UtcTimeText(time), text);
    }
}

TEST(ParseUtcTime, DatesAndTimesInUtc) {
    const sys_days day = year{2026} / 12 / 9;
    const std::pair<std::string_view, system_clock::time_point> table[] = {
        {"2026-12-09", day},
        {"2026-12-09T05:00:00Z", day + hours{5}},
        {"2026-12-09T05:07Z", day + hours{5} + minutes{7}},
        {"2026-12-09T05:00:00.5Z", day + hours{5} + milliseconds{500}},
        {"2026-12-09T05:00:00.123456Z", day + hours{5} + microseconds{123456}},
        {"2024-02-29", sys_days{year{2024} / 2 / 29}},
    };
    for (const auto& [text, time] : table) {
        EXPECT_EQ(ParseUtcTime(text), time) << text;
    }
}

TEST(ParseUtcTime, AnythingElseIsNone) {
    for (const std::string_view text :
         {"", "yesterday", "2026-12-9", "26-12-09", "2026/12/09", "2026-13-01", "2026-02-29",
          "2026-12-32", "2026-12-09Z", "2026-12-09T05:00:00", "2026-12-09 05:00:00Z",
          "2026-12-09T24:00:00Z", "2026-12-09T05:60Z", "2026-12-09T05:00:60Z",
          "2026-12-09T05:00:00+01:00", "2026-12-09T05:00:00.Z", "2026-12-09T05:00:00.1234567891Z",
          "2026-12-09T05Z", "2026-12-09T05:00:00Zjunk"}) {
        EXPECT_EQ(ParseUtcTime(text), std::nullopt) << text;
    }
}

TEST(ParseUtcTime, ReadsWhatUtcTimeTextWrites) {
    const auto now = floor<microseconds>(system_clock::now());
    EXPECT_EQ(ParseUtcTime(UtcTimeText(now)), now);
}

}  // namespace
}  // namespace vantrel
