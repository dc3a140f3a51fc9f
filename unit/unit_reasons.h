#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/session_end.h"
#include "records/unit_record.h"
#include "unit/stall_watch.h"

namespace vantrel {

// "block 3 of 65".
std::string BlockText(std::uint32_t done, std::uint32_t total);

// The outcome and reason of a unit that the session itself ended, not the
// program's Cancel; `unit` holds its blocks.
void DescribeSessionEnd(const SessionEnd& end, UnitRecord& unit);

// The cause and reason of a unit that timed out: the box fell silent, or
// it kept answering without letting the update move on; `unit` holds its
// blocks.
void DescribeTimeout(const StallWatch::Stall& stall, std::chrono::milliseconds limit,
                     UnitRecord& unit);

}  // namespace vantrel
