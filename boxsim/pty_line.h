#pragma once

#include <optional>
#include <string>

#include "boxsim/box_line.h"

namespace vantrel {

// A new pseudo-terminal in raw mode, and the path of its far end for the tool.
struct PtyLine {
    BoxLine line;
    std::string farEndPath;
};

// Nothing, with the reason in `error`, when the system cannot give one.
std::optional<PtyLine> CreatePtyLine(std::string& error);

}  // namespace vantrel
