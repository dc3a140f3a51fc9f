#include "text/control_escape.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using namespace std::string_view_literals;

TEST(EscapeControls, ControlCharactersBecomeVisibleAndTheRestStays) {
    const struct {
        const char* what;
        std::string_view text;
        std::string shown;
    } cases[] = {
        {"plain text", "BOOT ok", "BOOT ok"},
        {"nothing", "", ""},
        {"tab and line ends stay", "a\tb\r\nc\n\rd", "a\tb\r\nc\n\rd"},
        {"clear screen", "\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H"},
        {"window title", "\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"clipboard (OSC 52)", "\x1b]52;c;aGk=\x1b\\", "\\x1b]52;c;aGk=\\x1b\\"},
        {"NUL, the C0 edges and DEL", "\0\x01\x1f\x7f"sv, "\\x00\\x01\\x1f\\x7f"},
        {"the first and last printable stay", " ~", " ~"},
        {"UTF-8 stays", "M\xc3\xbcller \xe2\x86\x92", "M\xc3\xbcller \xe2\x86\x92"},
        {"C1 as a character, and as a byte of no character",
         "\xc2\x9b"
         "2J \x9b"
         "2J \xff",
         "\\u009b2J \\x9b2J \xff"},
        {"bidi, zero-width and tag characters", "\xe2\x80\xae\xe2\x80\x8b\xf3\xa0\x80\x81",
         "\\u202e\\u200b\\U000e0001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControls(c.text), c.shown) << c.what;
    }
}

}  // namespace
}  // namespace vantrel
