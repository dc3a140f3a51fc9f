#include "unit/unit_template.h"

#include "records/unit_identity.h"

namespace vantrel {

UnitRecord UnitTemplate(const UnitLabels& labels, std::string_view toolVersion) {
    UnitRecord unit;
    unit.host = StationHostName();
    unit.stationName = labels.stationName;
    unit.operatorName = labels.operatorName;
    unit.workOrder = labels.workOrder;
    unit.boxSerial = labels.boxSerial;
    unit.toolVersion = toolVersion;
    return unit;
}

}  // namespace vantrel
