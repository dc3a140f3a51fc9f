#pragma once

#include <optional>
#include <string>

namespace vantrel {

// The station window's program: beside `executable` (a build tree), or in
// ../libexec/vantrel/ from its folder (an installation); nothing when
// neither holds it (the window is not installed).
std::optional<std::string> FindStationWindowProgram(const std::string& executable);

// Replaces this process with the window's program, given the same
// arguments; returns only when that cannot be done, with the reason.
std::string ExecStationWindow(const std::string& program, char** argv);

}  // namespace vantrel
