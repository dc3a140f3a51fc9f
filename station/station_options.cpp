#include "station/station_options.h"

#include <CLI/CLI.hpp>
#include "cli/expected_sha256.h"
#include "serial/port_settings.h"
#include "station/slot_names.h"

namespace vantrel {

std::optional<StationPortArg> ParseStationPort(const std::string& text) {
    if (text.find('/') != std::string::npos) {
        return StationPortArg{text, 1, text, std::nullopt};
    }
    if (text.size() == 1 && text[0] >= '1' && text[0] < '1' + kMaxPortNumber) {
        const int number = text[0] - '0';
        return StationPortArg{"PORT " + text, number, std::nullopt, std::nullopt};
    }
    return std::nullopt;
}

std::variant<StationPortArg, std::string> ParseSlotArgument(const std::string& text) {
    const std::size_t equals = text.find('=');
    const std::string port = equals == std::string::npos ? text : text.substr(equals + 1);
    auto parsed = ParseStationPort(port);
    if (!parsed) {
        return "PORT " + port + " is neither 1 to " + std::to_string(kMaxPortNumber) +
               " nor a device path";
    }
    if (equals != std::string::npos) {
        const std::string name = text.substr(0, equals);
        if (const std::string wrong = CheckSlotName(name); !wrong.empty()) {
            return "slot name '" + name + "' in " + text + ": " + wrong;
        }
        parsed->name = name;
        parsed->label = name;
    }
    return std::move(*parsed);
}

std::variant<StationOptions, CommandLineExit> ParseStationOptions(int argc,
                                                                  const char* const* argv) {
    StationOptions options;
    std::vector<std::string> ports;
    CLI::App app{"Updates the boxes on several serial ports at once, and records every unit.",
                 "vantrel-station"};
    SetUpCommandLine(app);
    app.add_flag("--loop", options.loop,
                 "after each unit, press Start again and wait for the next box");
    AddCheckedOption(app, "--timeout", "SECONDS",
                     "cancel a unit that has made no progress for SECONDS: its box sent "
                     "nothing, or refused the same frame again and again",
                     [&](const std::string& v) { return CheckSeconds(v, options.timeoutSeconds); });
    std::optional<std::string> expectSha256;
    AddExpectSha256Option(app, expectSha256);
    auto* record = app.add_option("--record", options.recordUrl,
                                  "where units are recorded: a file, or postgresql://...")
                       ->type_name("URL");
    app.add_flag("--no-record", options.noRecord, "record nothing")->excludes(record);
    AddLabelOptions(app, options.labels, /*withBoxSerial=*/false);
    app.add_flag("--json", options.json, "one JSON object per event on standard output");
    app.add_flag("--quiet", options.quiet, "only failures and the summary");
    auto* window =
        app.add_flag("--window", options.window, "show the station in a window of slot tiles");
    app.add_flag("--ask-serial", options.askSerial,
                 "ask each unit's box serial number on its tile (window only)")
        ->needs(window);
    app.add_option("IMAGE", options.image,
                   "the image file to write (the window asks for it when not given)")
        ->type_name("");
    app.add_option("PORT", ports,
                   "a PORT number 1 to 4, or a device path; NAME=PORT names its slot (the "
                   "window takes every serial port found when none is given)")
        ->type_name("");
    app.footer(
        "With --loop the first Ctrl-C (SIGINT) ends the shift gracefully: the units under way "
        "finish and no new box is taken; a second cancels them. Without --loop Ctrl-C, and "
        "always SIGTERM and SIGHUP, press Cancel on every port. Each unit is recorded; a "
        "signal within 10 s of the cancel is ignored, one after that ends the program at "
        "once, naming the units not recorded. The window behaves alike.\n\n"
        "Exit status: 0 every unit completed; 1 a unit failed, was cancelled or stopped, or a "
        "port never opened; 2 nothing started; 3 every unit completed but some records are "
        "not in the record file. A window stopped by a signal gives 0 when no box was under "
        "way, otherwise the same for the units it stopped.");
    if (auto exit = ParseCommandLine(app, argc, argv)) {
        return *exit;
    }
    // The window, started from a desktop, asks for what is missing.
    if (!options.window && (options.image.empty() || ports.empty())) {
        return UsageError(app.get_name(),
                          options.image.empty() ? "IMAGE is required" : "PORT is required");
    }
    if (options.image.empty() && expectSha256) {
        return UsageError(app.get_name(), "--expect-sha256 needs IMAGE");
    }
    for (const std::string& port : ports) {
        auto parsed = ParseSlotArgument(port);
        if (const auto* wrong = std::get_if<std::string>(&parsed)) {
            return UsageError(app.get_name(), *wrong);
        }
        options.ports.push_back(std::move(std::get<StationPortArg>(parsed)));
    }
    if (auto exit = LookUpExpectedSha256(app.get_name(), expectSha256, options.image,
                                         options.expectedSha256)) {
        return *exit;
    }
    return options;
}

}  // namespace vantrel
