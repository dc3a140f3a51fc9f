#include "ui/terminal/cli_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "cli/program_version.h"

namespace vantrel {
namespace {

std::variant<CliOptions, CommandLineExit> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vantrel-cli");
    return ParseCliOptions(static_cast<int>(args.size()), args.data());
}

std::string TextOf(const std::variant<CliOptions, CommandLineExit>& parsed) {
    return std::holds_alternative<CommandLineExit>(parsed) ? std::get<CommandLineExit>(parsed).text
                                                           : std::string("(accepted)");
}

// The one line of a refused command line, without the program's prefix,
// once its status and the hint below it have been checked.
std::string ErrorOf(const std::variant<CliOptions, CommandLineExit>& parsed) {
    const std::string text = TextOf(parsed);
    const std::string prefix = "vantrel-cli: error: ";
    const std::string hint = "\nRun with --help for more information.\n";
    if (!text.starts_with(prefix) || !text.ends_with(hint) ||
        std::get<CommandLineExit>(parsed).status != 2) {
        return "not a usage error: " + text;
    }
    return text.substr(prefix.size(), text.size() - prefix.size() - hint.size());
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
        {{"--port=3", "--timeout=1e1", "a.hex"}, 3, std::nullopt, 10.0, "a.hex"},
        {{"--port", "1", "--port", "2", "a.hex"}, 2, std::nullopt, std::nullopt, "a.hex"},
        {{"--device=/dev/ttyACM0", "--", "-image.bin"},
         1,
         "/dev/ttyACM0",
         std::nullopt,
         "-image.bin"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << TextOf(parsed);
        const CliOptions& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.port, c.port);
        EXPECT_EQ(options.device, c.device);
        EXPECT_EQ(options.timeoutSeconds, c.timeout);
        EXPECT_EQ(options.image, c.image);
    }
}

TEST(CliOptions, RefusedCommandLinesSayWhyInOneLine) {
    const struct {
        std::vector<const char*> args;
        std::string error;
    } cases[] = {
        {{}, "no IMAGE given"},
        {{"--quiet"}, "no IMAGE given"},
        {{"--port", "0", "a"}, "--port: 0 is not a PORT number 1 to 4"},
        {{"--port", "5", "a"}, "--port: 5 is not a PORT number 1 to 4"},
        {{"--port=7", "a"}, "--port: 7 is not a PORT number 1 to 4"},
        {{"--port", "12", "a"}, "--port: 12 is not a PORT number 1 to 4"},
        {{"a", "--port"}, "--port needs a value: N"},
        {{"--device", "", "a"}, "--device: the path of a serial device is missing"},
        {{"--timeout", "0", "a"}, "--timeout: 0 is not a number of seconds above 0"},
        {{"--timeout", "-3", "a"}, "--timeout: -3 is not a number of seconds above 0"},
        {{"--timeout", "soon", "a"}, "--timeout: soon is not a number of seconds above 0"},
        {{"--timeout", "nan", "a"}, "--timeout: nan is not a number of seconds above 0"},
        {{"--timeout", "3s", "a"}, "--timeout: 3s is not a number of seconds above 0"},
        {{"--bogus", "a"}, "unknown option --bogus"},
        {{"-x", "a"}, "unknown option -x"},
        {{"--json=1", "a"}, "--json takes no value"},
        {{"--quiet=yes", "a"}, "--quiet takes no value"},
        {{"a", "b"}, "unexpected argument 'b'"},
        {{"--list-ports", "a"}, "--list-ports takes no IMAGE"},
        {{"--record=", "a.hex"}, "--record= takes a file or a postgresql:// URL"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf(Parse(c.args)), c.error);
    }
}

// --help and --version answer on standard output, with status 0.
TEST(CliOptions, HelpAndVersionEndTheProgramWell) {
    const struct {
        std::vector<const char*> args;
        std::string starts;
    } cases[] = {
        {{"--help"}, "Writes IMAGE into the box"},
        {{"-h", "a.hex"}, "Writes IMAGE into the box"},
        {{"--version"}, "vantrel-cli " + std::string(VersionText()) + "\n"},
        {{"a.hex", "--version"}, "vantrel-cli 1.0"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CommandLineExit>(parsed)) << c.starts;
        EXPECT_EQ(std::get<CommandLineExit>(parsed).status, 0) << c.starts;
        EXPECT_TRUE(TextOf(parsed).starts_with(c.starts)) << TextOf(parsed);
    }
    const std::string help = TextOf(Parse({"--help"}));
    for (const char* option : {"--port", "--device", "--timeout", "--record", "-q,--quiet",
                               "--json", "--verbose", "--list-ports", "--version", "-h,--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(CliOptions, OutputOptions) {
    const struct {
        std::vector<const char*> args;
        bool quiet;
        bool json;
        bool verbose;
    } cases[] = {
        {{"a.hex"}, false, false, false},
        {{"-q", "a.hex"}, true, false, false},
        {{"a.hex", "--quiet"}, true, false, false},
        {{"--json", "a.hex"}, false, true, false},
        {{"--verbose", "-q", "a.hex"}, true, false, true},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << TextOf(parsed);
        const auto& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.quiet, c.quiet) << c.args[0];
        EXPECT_EQ(options.json, c.json) << c.args[0];
        EXPECT_EQ(options.verbose, c.verbose) << c.args[0];
    }
}

TEST(CliOptions, ListingPortsNeedsNoImage) {
    const struct {
        std::vector<const char*> args;
        bool json;
    } cases[] = {{{"--list-ports"}, false}, {{"--json", "--list-ports"}, true}};
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << TextOf(parsed);
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
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << TextOf(parsed);
        const auto& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.record, c.record);
        EXPECT_EQ(options.recordUrl, c.url);
        EXPECT_EQ(options.image, c.image);
    }
}

}  // namespace
}  // namespace vantrel
