#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// "1.0", or "1.0 (git 4673fee)" when built from a git checkout: what
// --version prints and what a unit's record keeps as the tool's version.
std::string_view VersionText();

// "vantrel-cli 1.0 (git 4673fee)", the line --version prints.
std::string VersionLine(std::string_view program);

}  // namespace vantrel
