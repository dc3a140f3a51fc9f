#pragma once

#include <string>

#include "records/unit_record.h"

namespace vantrel {

// How a unit went, in the one line a program ends with, e.g.
// "updated PORT 1 (/dev/ttyUSB0) with image.bin: 1025 blocks in 92.9 s,
// 11.4 kB/s, 3 frames sent again" or "failed at block 20 of 65: the line was
// lost".
std::string UnitSummaryLine(const UnitRecord& unit);

}  // namespace vantrel
