#include "core/open_outcome.h"

#include "core/usb_latency_cost.h"
#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "serial/port_settings.h"

namespace vantrel {

std::string OpenOutcomeLog(const PortCore& core, bool identity) {
    const DetectedPort* detected = core.Detected() ? &*core.Detected() : nullptr;
    std::string log;
    // A number outside the selector's was refused before any device was chosen.
    if (identity && core.PortNumber() >= 1 && core.PortNumber() <= kMaxPortNumber) {
        log += PortIdentityLine(core.PortNumber(), core.Device(), detected);
    }
    if (!core.IsOpen()) {
        return log + DescribeOpenError(core.LastOpenError()) + "\r\n";
    }
    if (detected != nullptr && detected->kind == PortKind::kUsb) {
        if (const auto line = UsbLatencyCostLine(core.PortNumber(), *detected,
                                                 ReadLatencyTimerMs(detected->sysName))) {
            log += *line + "\r\n";
        }
    }
    return log;
}

}  // namespace vantrel
