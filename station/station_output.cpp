#include "station/station_output.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "records/record_report.h"
#include "records/record_time.h"
#include "station/shift_tally.h"

namespace vantrel {
namespace {

const char* EventName(StationEvent::Kind kind) {
    switch (kind) {
        case StationEvent::Kind::kOpened:
            return "open";
        case StationEvent::Kind::kNotOpened:
            return "not opened";
        case StationEvent::Kind::kBoot:
            return "boot";
        case StationEvent::Kind::kUnitEnd:
            return "unit";
        case StationEvent::Kind::kLost:
            return "lost";
        case StationEvent::Kind::kImageChanged:
            return "image changed";
        case StationEvent::Kind::kProgress:
            return "progress";
        case StationEvent::Kind::kAdvice:
            return "advice";
        case StationEvent::Kind::kFinishing:
            return "finishing";
    }
    return "unknown";
}

std::string UnitLine(const UnitRecord& unit) {
    if (unit.outcome != UnitOutcome::kCompleted) {
        return std::string(OutcomeName(unit.outcome)) + ": " + unit.reason;
    }
    char text[160];
    std::snprintf(text, sizeof text, "completed: %u blocks in %.1f s, %u frames sent again",
                  unit.blocksAcknowledged, unit.seconds, unit.framesSentAgain);
    return text;
}

}  // namespace

std::string EventLine(const StationEvent& event) {
    if (event.kind == StationEvent::Kind::kFinishing) {
        return UtcSecondsText(event.time) + " " + kFinishingText;
    }
    const std::string head = UtcSecondsText(event.time) + " " + event.label + ": ";
    switch (event.kind) {
        case StationEvent::Kind::kOpened:
            return head + "opened " + event.device;
        case StationEvent::Kind::kNotOpened:
            return head + "not opened: " + event.text;
        case StationEvent::Kind::kBoot:
            return head + "BOOT on " + event.device;
        case StationEvent::Kind::kUnitEnd:
            return head + (event.unit ? UnitLine(*event.unit) : event.text);
        case StationEvent::Kind::kLost:
            return head + "line lost: " + event.text;
        case StationEvent::Kind::kImageChanged:
            return head + "image changed: " + event.text;
        case StationEvent::Kind::kProgress:
            return head + std::to_string(event.progress.blocksDone) + "/" +
                   std::to_string(event.progress.blocksTotal) + " blocks, " +
                   std::to_string(event.progress.framesSentAgain) + " frames sent again";
        case StationEvent::Kind::kAdvice:
            return head + "advice: " + event.text;
        case StationEvent::Kind::kFinishing:
            break;
    }
    return head + event.text;
}

std::string EventJson(const StationEvent& event) {
    nlohmann::json json = {{"time", UtcSecondsText(event.time)}, {"event", EventName(event.kind)}};
    // The station's own events belong to no port.
    if (event.kind != StationEvent::Kind::kFinishing) {
        json["port"] = event.label;
        json["device"] = event.device;
    }
    if (event.kind == StationEvent::Kind::kProgress) {
        json["blocks_done"] = event.progress.blocksDone;
        json["blocks_total"] = event.progress.blocksTotal;
        json["frames_sent_again"] = event.progress.framesSentAgain;
    }
    if (!event.text.empty()) {
        json["reason"] = event.text;
    }
    if (event.unit) {
        // The unit as its record holds it; its log stays in the record.
        nlohmann::json unit = nlohmann::json::parse(FormatRecordJson({&*event.unit, 1})).at(0);
        unit.erase("log");
        json["unit"] = std::move(unit);
        json["counted"] = CountName(CountOf(event.unit->outcome));
    }
    // Console text from the box need not be UTF-8: replace, never throw.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool IsFailureEvent(const StationEvent& event) {
    switch (event.kind) {
        case StationEvent::Kind::kNotOpened:
        case StationEvent::Kind::kLost:
        case StationEvent::Kind::kImageChanged:
            return true;
        case StationEvent::Kind::kUnitEnd:
            return event.unit && event.unit->outcome != UnitOutcome::kCompleted;
        default:
            return false;
    }
}

std::string SummaryTable(const std::vector<PortSnapshot>& ports) {
    std::string table;
    char row[512];
    std::snprintf(row, sizeof row, "%-9s %-24s %9s %9s %9s  %s\n", "PORT", "DEVICE", "COMPLETED",
                  "FAILED", "STOPPED", "LAST");
    table += row;
    for (const PortSnapshot& port : ports) {
        const std::string last =
            std::string(PhaseName(port.phase)) + (port.reason.empty() ? "" : ": " + port.reason);
        std::snprintf(row, sizeof row, "%-9s %-24s %9u %9u %9u  ", port.label.c_str(),
                      port.device.c_str(), port.units.done, port.units.failed, port.units.stopped);
        table += row + last + "\n";
    }
    return table;
}

}  // namespace vantrel
