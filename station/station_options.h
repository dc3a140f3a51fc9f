#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "cli/unit_labels.h"

namespace vantrel {

// A PORT argument: a selector number 1 to 4, or a device path, perhaps
// after a slot's name (NAME=PORT).
struct StationPortArg {
    std::string label;                  // its name, else "PORT 2" or the path as given
    int portNumber = 1;                 // the selector entry its window opens
    std::optional<std::string> device;  // given as a path
    std::optional<std::string> name;    // the slot's name, from NAME=PORT or the settings
};

struct StationOptions {
    bool loop = false;
    std::optional<double> timeoutSeconds;
    std::optional<std::string> expectedSha256;  // IMAGE's SHA-256 must be this (lower case)
    std::optional<std::string> recordUrl;       // nothing: the default local record file
    bool noRecord = false;
    bool json = false;
    bool quiet = false;
    bool window = false;     // the station in a window of slot tiles
    bool askSerial = false;  // each unit's box serial number asked on its tile
    std::string image;
    std::vector<StationPortArg> ports;
    GivenLabels labels;  // who, which order, which station
};

// What the command line asks for, or the help, the version or the error
// that ends the program first.
std::variant<StationOptions, CommandLineExit> ParseStationOptions(int argc,
                                                                  const char* const* argv);

// "1" to "4", or a path (anything with a '/'); nothing for anything else.
std::optional<StationPortArg> ParseStationPort(const std::string& text);

// A PORT argument as ParseStationPort reads it, or NAME=PORT: the slot's
// name is all before the first '=' (a name has none). What is wrong,
// naming the argument, when it is neither.
std::variant<StationPortArg, std::string> ParseSlotArgument(const std::string& text);

}  // namespace vantrel
