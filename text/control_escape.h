#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// `text` with each C0 control character but tab, CR and LF, and DEL,
// written as \xNN (ESC as \x1b), and so is a byte 0x80 to 0x9F that is no
// part of a UTF-8 character (an 8-bit C1 control); C1 controls, bidi
// controls, zero-width and other invisible characters written in UTF-8 as
// \uNNNN (\UNNNNNNNN beyond U+FFFF): text from a box, a device or a server
// shown on a terminal cannot clear it, retitle its window, write the
// clipboard or read backwards. Everything else, UTF-8 included, stays as
// it is.
std::string EscapeControls(std::string_view text);

}  // namespace vantrel
