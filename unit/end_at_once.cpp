#include "unit/end_at_once.h"

#include <cstdio>
#include <cstdlib>

#include "records/recorder_ending.h"
#include "text/terminal_output.h"

namespace vantrel {
namespace {

constexpr std::chrono::seconds kLastWrite{1};

}  // namespace

void EndAtOnce(const char* program, UnitRecorder* recorder, const RecordTarget& target,
               const UnitsUnderWay& underWay) {
    const std::string head = std::string(program) + ": ";
    WriteText(stderr, head +
                          "error: ended at once by a stop signal while units were still "
                          "being cancelled\n");
    std::size_t notRecorded = 0;
    if (recorder != nullptr) {
        notRecorded = ReportRecorderEnding(recorder->Close(kLastWrite), target, program, stderr);
    }
    for (const std::string& unit : underWay.Names()) {
        WriteText(stderr, head + "error: not recorded: the unit on " + unit + "\n");
        ++notRecorded;
    }
    std::fflush(stderr);
    std::_Exit(notRecorded > 0 ? kExitNotRecorded : 1);
}

}  // namespace vantrel
