#pragma once

#include <optional>
#include <string>

namespace vantrel {

// The SHA-256 of the file at `path` as 64 lower-case hex digits; nothing
// when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace vantrel
