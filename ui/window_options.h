#pragma once

#include <optional>

#include "cli/command_line.h"

namespace vantrel {

// What the window's command line asks for before the window opens: the
// help, the version or an error; nothing when the window is to open. Qt's
// own options (-platform NAME, -style NAME, -reverse, ...) are left for Qt,
// which takes them out of argv itself; anything else is refused here, before
// Qt needs a display.
std::optional<CommandLineExit> ParseWindowOptions(int argc, const char* const* argv);

}  // namespace vantrel
