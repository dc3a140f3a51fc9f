#pragma once

#include <optional>
#include <string>
#include <variant>

#include "cli/command_line.h"
#include "cli/unit_labels.h"

namespace vantrel {

struct CliOptions {
    int port = 1;                               // PORT N of the port selector
    std::optional<std::string> device;          // opened as PORT N in place of its usual device
    std::optional<double> timeoutSeconds;       // Cancel after this long without progress
    std::optional<std::string> expectedSha256;  // IMAGE's SHA-256 must be this (lower case)
    std::string image;
    bool listPorts = false;                // list the serial ports instead of updating
    bool json = false;                     // the list, or the unit's result, as JSON
    bool quiet = false;                    // only the result line and errors
    bool verbose = false;                  // say which settings file is read
    bool record = false;                   // record the unit
    std::optional<std::string> recordUrl;  // where: nothing for the local record file
    GivenLabels labels;                    // who, which order, which station and box
};

// The options, or the help, the version or the error that ends vantrel-cli
// before it opens anything.
std::variant<CliOptions, CommandLineExit> ParseCliOptions(int argc, const char* const* argv);

}  // namespace vantrel
