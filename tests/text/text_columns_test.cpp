#include "text/text_columns.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(FormatColumns, AlignsByCharactersAndLeavesTheLastColumnUnpadded) {
    const struct {
        const char* what;
        std::vector<std::vector<std::string>> rows;
        std::string table;
    } cases[] = {
        {"widest cell sets the column",
         {{"A", "B", "C"}, {"long", "x", "y"}},
         "A     B  C\nlong  x  y\n"},
        // "Müller" is 7 bytes, 6 characters wide.
        {"UTF-8 counts characters", {{"Müller", "1"}, {"Smith", "2"}}, "Müller  1\nSmith   2\n"},
        {"a short row", {{"PORT", "DEVICE"}, {"-"}}, "PORT  DEVICE\n-\n"},
        {"nothing", {}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatColumns(c.rows), c.table) << c.what;
    }
}

}  // namespace
}  // namespace vantrel
