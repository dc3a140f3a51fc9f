#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include "cli/cli_app_fwd.h"

namespace vantrel {

// Exit status of a command line that cannot be run.
inline constexpr int kExitUsage = 2;

// A command line that ends the program before it does anything: the help or
// the version (status 0, for standard output), or one line naming what is
// wrong and a hint at --help (status 2, for the error stream).
struct CommandLineExit {
    int status = 0;
    std::string text;
};

// A CLI11 app with the manners every Vantrel program shares: -h/--help,
// --version, flags that take no value, and help in columns help2man reads.
CLI::App& SetUpCommandLine(CLI::App& app);

// Checks one value of an option and keeps it; returns what is wrong with
// it ("'7' is not ..."), empty when it is good.
using ValueCheck = std::function<std::string(const std::string& value)>;

// An option NAME TYPE that takes one value each time it is given, each
// checked in order by `check`: a refusal becomes "NAME: what is wrong".
CLI::Option* AddCheckedOption(CLI::App& app, const std::string& name, const std::string& type,
                              const std::string& help, ValueCheck check);

// A number of seconds above 0 for `out` ("2.5", "1e1"), or what is wrong
// with `text`: a ValueCheck for every timeout.
std::string CheckSeconds(const std::string& text, std::optional<double>& out);

// Parses `argv` into the options bound to `app`; nothing when the program
// is to run. CLI11's errors are said in one plain line.
std::optional<CommandLineExit> ParseCommandLine(CLI::App& app, int argc, const char* const* argv);

// "PROGRAM: error: MESSAGE" and the hint, for what only the program itself
// can find wrong once CLI11 has parsed.
CommandLineExit UsageError(std::string_view program, std::string_view message);

// Writes the text where it belongs and gives the exit status.
int Report(const CommandLineExit& exit);

}  // namespace vantrel
