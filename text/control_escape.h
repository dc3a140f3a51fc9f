#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// `text` with each C0 control character but tab, CR and LF, and DEL,
// written as \xNN (ESC as \x1b): text from a box, a device or a server
// shown on a terminal cannot clear it, retitle its window or write the
// clipboard. Everything else, UTF-8 included, stays as it is.
std::string EscapeControls(std::string_view text);

}  // namespace vantrel
