#pragma once

#include <optional>
#include <string>

#include "boxsim/box_line.h"

namespace vantrel {

// Opens a serial device as a raw 115200 8N1 line; its own settings come back
// when the line closes. Nothing, with the reason in `error`, on failure.
std::optional<BoxLine> OpenSerialDeviceLine(const std::string& path, std::string& error);

}  // namespace vantrel
