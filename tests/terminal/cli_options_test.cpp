#include "ui/terminal/cli_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

std::variant<CliOptions, std::string> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vantrel-cli");
    return ParseCliOptions(static_cast<int>(args.size()), args.data());
}

TEST(CliOptions, AcceptedCommandLines) {
    const struct {
        std::vector<const char*> args;
        int port;
        std::optional<std::string> device;
        std::optional<double> timeout;
        std::string image;
    } cases[] = {
        {{"image.bin"}, 1, std::nullopt, std::nullopt, "image.bin"},
        {{"--port", "4", "a.hex"}, 4, std::nullopt, std::nullopt, "a.hex"},
        {{"--device", "/dev/pts/7", "a.hex"}, 1, "/dev/pts/7", std::nullopt, "a.hex"},
        {{"a.hex", "--port", "2", "--device", "/dev/ttyUSB0"},
         2,
         "/dev/ttyUSB0",
         std::nullopt,
         "a.hex"},
        {{"--timeout", "2.5", "a.hex"}, 1, std::nullopt, 2.5, "a.hex"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<std::string>(parsed);
        const CliOptions& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.port, c.port);
        EXPECT_EQ(options.device, c.device);
        EXPECT_EQ(options.timeoutSeconds, c.timeout);
        EXPECT_EQ(options.image, c.image);
    }
}

TEST(CliOptions, RefusedCommandLinesSayWhy) {
    const struct {
        std::vector<const char*> args;
        std::string error;
    } cases[] = {
        {{}, "no IMAGE given"},
        {{"--port", "0", "a"}, "--port takes a port number from 1 to 4"},
        {{"--port", "5", "a"}, "--port takes a port number from 1 to 4"},
        {{"--port", "12", "a"}, "--port takes a port number from 1 to 4"},
        {{"a", "--port"}, "--port takes a port number from 1 to 4"},
        {{"--device", "", "a"}, "--device takes the path of a serial device"},
        {{"--timeout", "0", "a"}, "--timeout takes a number of seconds above 0"},
        {{"--timeout", "-3", "a"}, "--timeout takes a number of seconds above 0"},
        {{"--timeout", "soon", "a"}, "--timeout takes a number of seconds above 0"},
        {{"--timeout", "nan", "a"}, "--timeout takes a number of seconds above 0"},
        {{"--timeout", "3s", "a"}, "--timeout takes a number of seconds above 0"},
        {{"--verbose", "a"}, "unknown option --verbose"},
        {{"a", "b"}, "only one IMAGE can be written at a time"},
        {{"--json", "a"}, "--json goes with --list-ports"},
        {{"--list-ports", "a"}, "--list-ports takes no IMAGE"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.error;
        EXPECT_EQ(std::get<std::string>(parsed), c.error);
    }
    const auto help = Parse({"--help"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(help));
    EXPECT_TRUE(std::get<CliOptions>(help).help);
}

TEST(CliOptions, ListingPortsNeedsNoImage) {
    const struct {
        std::vector<const char*> args;
        bool json;
    } cases[] = {{{"--list-ports"}, false}, {{"--json", "--list-ports"}, true}};
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<std::string>(parsed);
        EXPECT_TRUE(std::get<CliOptions>(parsed).listPorts);
        EXPECT_EQ(std::get<CliOptions>(parsed).json, c.json);
    }
}

// The URL rides on the option itself, so "--record image.bin" cannot take
// the image for a record file.
TEST(CliOptions, RecordTakesItsUrlAfterAnEqualsSign) {
    const struct {
        std::vector<const char*> args;
        bool record;
        std::optional<std::string> url;
        std::string image;
    } cases[] = {
        {{"a.hex"}, false, std::nullopt, "a.hex"},
        {{"--record", "a.hex"}, true, std::nullopt, "a.hex"},
        {{"--record=/tmp/r.sqlite", "a.hex"}, true, "/tmp/r.sqlite", "a.hex"},
        {{"a.hex", "--record=postgresql://line/units"}, true, "postgresql://line/units", "a.hex"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<std::string>(parsed);
        const auto& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.record, c.record);
        EXPECT_EQ(options.recordUrl, c.url);
        EXPECT_EQ(options.image, c.image);
    }
    const auto empty = Parse({"--record=", "a.hex"});
    ASSERT_TRUE(std::holds_alternative<std::string>(empty));
    EXPECT_EQ(std::get<std::string>(empty), "--record= takes a file or a postgresql:// URL");
}

}  // namespace
}  // namespace vantrel
