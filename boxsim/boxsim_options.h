#pragma once

#include <string>
#include <variant>

#include "boxsim/peer_options.h"
#include "cli/command_line.h"

namespace vantrel {

// Everything the command line of vantrel-boxsim sets.
struct BoxSimOptions {
    std::string devicePath;    // empty: a new pseudo-terminal
    std::string linkPath;      // a link to the pseudo-terminal; empty for none
    std::string outPath;       // empty: the module is not written
    std::string readbackPath;  // read into peer.readback before the run
    PeerOptions peer;
};

// The options, or the help, the version or the error that ends the program
// first. Both "--name value" and "--name=value".
std::variant<BoxSimOptions, CommandLineExit> ParseBoxSimOptions(int argc, const char* const* argv);

}  // namespace vantrel
