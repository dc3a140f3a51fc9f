#include "core/kept_log.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(KeptLog, KeepsTheBeginningAndTheEndWhereTheFailureIsTold) {
    const struct {
        const char* name;
        std::size_t fill;  // bytes of lines between the first lines and the last
        bool cut;
    } cases[] = {
        {"within the bound", 1000, false},
        {"just over the bound", KeptLog::kCapacity, true},
        {"many times the bound", 5 * KeptLog::kCapacity, true},
    };
    for (const auto& c : cases) {
        KeptLog log;
        std::size_t appended = 0;
        const auto append = [&](const std::string& text) {
            log.Append(text);
            appended += text.size();
        };
        append("BOOT\r\nfirst line\r\n");
        const std::string line = std::string(98, 'x') + "\r\n";
        for (std::size_t written = 0; written < c.fill; written += line.size()) {
            append(line);
        }
        append("the box started again\r\n");

        const std::string text = log.Text();
        EXPECT_EQ(text.rfind("BOOT\r\nfirst line\r\n", 0), 0u) << c.name;
        EXPECT_TRUE(text.ends_with("x\r\nthe box started again\r\n")) << c.name;
        const std::size_t open = text.find("\r\n[");
        const std::size_t close = text.find(" bytes of log left out here]\r\n");
        if (!c.cut) {
            EXPECT_EQ(text.size(), appended) << c.name;
            EXPECT_EQ(close, std::string::npos) << c.name;
            continue;
        }
        ASSERT_NE(close, std::string::npos) << c.name;
        const std::string marker = text.substr(
            open, close - open + std::string(" bytes of log left out here]\r\n").size());
        const std::size_t leftOut = std::stoul(text.substr(open + 3, close - open - 3));
        EXPECT_EQ(text.size() - marker.size() + leftOut, appended)
            << c.name << ": the marker counts exactly what is missing";
        EXPECT_LE(text.size() - marker.size(), KeptLog::kCapacity) << c.name;
    }
}

}  // namespace
}  // namespace vantrel
