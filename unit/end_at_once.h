#pragma once

#include "records/record_target.h"
#include "records/unit_recorder.h"
#include "unit/units_under_way.h"

namespace vantrel {

// The exit status of a program that was ended at once with units not
// recorded.
inline constexpr int kExitNotRecorded = 3;

// Ends the process now, for a stop signal that came after the grace: the
// units the recorder holds go into the record file, or a file of their
// own, within a second; each unit still under way is named on standard
// error as not recorded. Exits kExitNotRecorded when any unit is not in
// the record file, 1 otherwise (units were being cancelled). No destructor
// runs: the thread that would run them may be the one that is stuck.
[[noreturn]] void EndAtOnce(const char* program, UnitRecorder* recorder, const RecordTarget& target,
                            const UnitsUnderWay& underWay);

}  // namespace vantrel
