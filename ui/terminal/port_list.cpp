#include "ui/terminal/port_list.h"

#include <nlohmann/json.hpp>

#include "ports/port_discovery.h"
#include "ports/port_map.h"
#include "text/text_columns.h"

namespace vantrel {
namespace {

std::string Label(const ListedPort& listed) {
    return listed.portNumber ? "PORT " + std::to_string(*listed.portNumber) : "-";
}

std::string LatencyText(const DetectedPort& port) {
    return port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) + " ms" : "-";
}

std::string StableNameOrDash(const DetectedPort& port) {
    const std::string name = StableName(port);
    return name == port.device ? "-" : name;
}

}  // namespace

std::vector<ListedPort> LabelPorts(std::span<const DetectedPort> detected,
                                   std::span<const PortDevice> mapped) {
    std::vector<ListedPort> listed;
    for (const DetectedPort& port : detected) {
        listed.push_back({port, std::nullopt, {}});
    }
    for (std::size_t index = 0; index < mapped.size(); ++index) {
        const DetectedPort* found = FindDetectedPort(mapped[index].path, detected);
        if (found == nullptr) {
            continue;
        }
        ListedPort& entry = listed[static_cast<std::size_t>(found - detected.data())];
        if (!entry.portNumber) {
            entry.portNumber = static_cast<int>(index) + 1;
            entry.portSource = DescribeDeviceSource(mapped[index].source, mapped[index].detail);
        }
    }
    return listed;
}

std::string AccessText(const PortAccess& access) {
    if (access.holder && !access.holder->isThisProcess) {
        const std::string program =
            access.holder->program.empty() ? "another program" : access.holder->program;
        return "in use by " + program + " (pid " + std::to_string(access.holder->pid) + ")";
    }
    if (!access.mayOpen) {
        return access.groupToJoin.empty() ? "no permission"
                                          : "no permission: join the group " + access.groupToJoin;
    }
    return "ok";
}

std::string FormatPortTable(std::span<const ListedPort> ports) {
    if (ports.empty()) {
        return "No serial ports found. A USB serial adapter shows up here once it is plugged in\n"
               "(as /dev/ttyUSB<n> or /dev/ttyACM<n>), an on-board port once the kernel finds a\n"
               "UART behind /dev/ttyS<n>. A pseudo-terminal or another device can still be used\n"
               "with --device PATH or VANTREL_COM<n>.\n";
    }
    std::vector<std::vector<std::string>> rows = {
        {"PORT", "DEVICE", "STABLE NAME", "DESCRIPTION", "ACCESS", "LATENCY", "PORT CHOSEN"}};
    for (const ListedPort& listed : ports) {
        rows.push_back({Label(listed), listed.port.device, StableNameOrDash(listed.port),
                        DescribeDetectedPort(listed.port), AccessText(listed.port.access),
                        LatencyText(listed.port),
                        listed.portSource.empty() ? "-" : listed.portSource});
    }
    return FormatColumns(rows);
}

std::string FormatPortJson(std::span<const ListedPort> ports) {
    nlohmann::json array = nlohmann::json::array();
    for (const ListedPort& listed : ports) {
        const DetectedPort& port = listed.port;
        nlohmann::json entry = {
            {"port", listed.portNumber ? nlohmann::json(*listed.portNumber) : nlohmann::json()},
            {"port_chosen", listed.portSource},
            {"device", port.device},
            {"kind", port.kind == PortKind::kUsb ? "usb" : "uart"},
            {"driver", port.driver},
            {"vendor_id", port.vendorId},
            {"product_id", port.productId},
            {"manufacturer", port.manufacturer},
            {"product", port.product},
            {"serial", port.serial},
            {"by_id", port.byId},
            {"by_path", port.byPath},
            {"description", DescribeDetectedPort(port)},
            {"access", AccessText(port.access)},
            {"may_open", port.access.mayOpen},
            {"latency_timer_ms",
             port.latencyTimerMs ? nlohmann::json(*port.latencyTimerMs) : nlohmann::json()},
        };
        array.push_back(std::move(entry));
    }
    // Device strings were made valid text when read; replace anything else
    // rather than fail.
    return array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace vantrel
