#pragma once

#include <optional>
#include <string>
#include <variant>

namespace vantrel {

struct CliOptions {
    int port = 1;                          // PORT N of the port selector
    std::optional<std::string> device;     // opened as PORT N in place of its usual device
    std::optional<double> timeoutSeconds;  // Cancel after this long without a byte from the box
    std::string image;
    bool help = false;
    bool listPorts = false;                // list the serial ports instead of updating
    bool json = false;                     // the list as JSON
    bool record = false;                   // record the unit
    std::optional<std::string> recordUrl;  // where: nothing for the local record file
};

// Usage text of vantrel-cli.
std::string CliUsage();

// The options, or a one-line error for the operator.
std::variant<CliOptions, std::string> ParseCliOptions(int argc, const char* const* argv);

}  // namespace vantrel
