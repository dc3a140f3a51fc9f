#pragma once

#include <string_view>

#include "cli/unit_labels.h"
#include "records/unit_record.h"

namespace vantrel {

// What the record of each unit of a run says before the unit starts: this
// machine's host name, the labels (station, operator, work order, box
// serial) and the tool's version.
UnitRecord UnitTemplate(const UnitLabels& labels, std::string_view toolVersion);

}  // namespace vantrel
