#pragma once

#include "cli/unit_labels.h"

namespace vantrel {

class CIniFile;

// Which labels the station window asks for at the start of a shift.
struct ShiftQuestions {
    bool operatorName = false;
    bool workOrder = false;
    bool Any() const { return operatorName || workOrder; }
};

// AskOperator=yes and AskWorkOrder=yes in the settings file's [STATION]
// section ask for the label at the start of each shift, unless the command
// line gave it. "yes", "true" and "1" ask, in any case; anything else does
// not.
ShiftQuestions ReadShiftQuestions(const CIniFile& settings, const GivenLabels& given);

}  // namespace vantrel
