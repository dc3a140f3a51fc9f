#pragma once

#include <span>
#include <string>
#include <string_view>

#include "boxsim/peer_options.h"

namespace vantrel {

// Everything the command line of vantrel-boxsim sets.
struct BoxSimOptions {
    bool help = false;
    std::string devicePath;    // empty: a new pseudo-terminal
    std::string outPath;       // empty: the module is not written
    std::string readbackPath;  // read into peer.readback before the run
    PeerOptions peer;
};

struct ParsedBoxSimOptions {
    BoxSimOptions options;
    std::string error;  // empty when the arguments were good
};

// `args` without the program name. Both "--name value" and "--name=value".
ParsedBoxSimOptions ParseBoxSimOptions(std::span<const std::string_view> args);

std::string BoxSimUsage();

}  // namespace vantrel
