#pragma once

#include <string>

namespace vantrel {

// Full path of the running executable, empty when it cannot be found.
std::string ExecutablePath();

// The executable's file name without its extension: the caption of the
// program's own message boxes.
std::string ApplicationName();

}  // namespace vantrel
