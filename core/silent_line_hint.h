#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vantrel {

// What the operator reads when the box has sent nothing on `device` for
// `silence` while the tool waits for its boot loader: what to check. One
// line, without a line end.
std::string SilentLineHint(std::string_view device, std::chrono::milliseconds silence);

}  // namespace vantrel
