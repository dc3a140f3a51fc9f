#pragma once

#include <string>

#include "records/unit_record.h"

namespace vantrel::test {

// A record with every field set and each field telling `number` and
// `station` apart, its times whole microseconds (what the stores keep), its
// start `number` minutes after a fixed day.
UnitRecord SampleRecord(int number, const std::string& station = "station-a");

}  // namespace vantrel::test

namespace vantrel::test {

// Each field of `actual` against `expected`, each difference its own
// failure.
void ExpectSameRecord(const UnitRecord& expected, const UnitRecord& actual);

}  // namespace vantrel::test
