#include "text/display_width.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// Cuts a pty cannot show going wrong: inside a character, between a
// character and its combining mark, or past a wide character's half.
TEST(DisplayWidth, CutsFallBetweenCharactersAndCountColumns) {
    const std::string cjk = "\xe5\xb7\xa5\xe4\xbd\x8d";  // 工位, two columns each
    const std::string eAcute = "e\xcc\x81";              // e and a combining acute
    const struct {
        const char* what;
        std::string text;
        std::size_t width;
        std::size_t columns;  // of the whole text
        std::string cut;
        std::string shortened;
    } cases[] = {
        {"ASCII", "PORT 1", 4, 6, "PORT", "P\xe2\x80\xa6 1"},
        {"wide: no half a character", cjk + "A", 3, 5, "\xe5\xb7\xa5",
         "\xe2\x80\xa6"
         "A"},
        {"combining: the mark stays with its base", "ab" + eAcute + "f", 3, 4, "ab" + eAcute,
         "\xe2\x80\xa6" + eAcute + "f"},
        {"a byte that is not UTF-8 is one column",
         "a\xff"
         "b",
         2, 3, "a\xff",
         "\xe2\x80\xa6"
         "b"},
        {"a long by-id name keeps its end",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3BQ-if00-port0", 30, 61,
         "/dev/serial/by-id/usb-FTDI_FT2",
         "/dev/seri\xe2\x80\xa6"
         "T_A10K3BQ-if00-port0"},
        {"fits: as it is", "A1", 2, 2, "A1", "A1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DisplayWidth(c.text), c.columns);
        EXPECT_EQ(CutToWidth(c.text, c.width), c.cut);
        const std::string shortened = ShortenInMiddle(c.text, c.width);
        EXPECT_EQ(shortened, c.shortened);
        EXPECT_LE(DisplayWidth(shortened), c.width);
        EXPECT_EQ(DisplayWidth(FitToWidth(c.text, c.width)), c.width);
    }
}

}  // namespace
}  // namespace vantrel
