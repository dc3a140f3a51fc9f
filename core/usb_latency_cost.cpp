#include "core/usb_latency_cost.h"

#include <cstdint>
#include <cstdio>

#include "engine/image_file.h"
#include "protocol/blocks.h"

namespace vantrel {
namespace {

// Each block waits for its answer, and so do the handshake, the module
// header, the module end and the global end.
constexpr std::uint32_t kAnswersBesideBlocks = 4;

std::uint32_t AnswersOfLdapUpdate() {
    const ImageKindInfo* ldap = FindImageKind(kImageLdap);
    return BlocksOf(static_cast<std::uint32_t>(ldap->requiredSize)) + kAnswersBesideBlocks;
}

}  // namespace

std::optional<std::string> UsbLatencyCostLine(int portNumber, const DetectedPort& port,
                                              std::optional<int> timerMs) {
    if (!timerMs || *timerMs <= 1) {
        return std::nullopt;
    }
    const std::uint32_t answers = AnswersOfLdapUpdate();
    char cost[32];
    std::snprintf(cost, sizeof cost, "%.1f", answers * (*timerMs) / 1000.0);
    return "PORT " + std::to_string(portNumber) + " (" + port.device +
           "): the USB adapter's latency timer is " + std::to_string(*timerMs) +
           " ms and low-latency mode could not be set, so each of the " + std::to_string(answers) +
           " answers of an LDAP update can wait that long: up to " + cost +
           " s more per update. To fix it, install the udev rule 60-vantrel.rules "
           "(see the README) or run: echo 1 | sudo tee /sys/bus/usb-serial/devices/" +
           port.sysName + "/latency_timer";
}

}  // namespace vantrel
