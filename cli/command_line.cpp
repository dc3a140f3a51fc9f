#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <memory>

#include "cli/program_version.h"

namespace vantrel {
namespace {

constexpr std::string_view kFlagWithValue = " was given a disallowed flag override";
constexpr std::string_view kNotConverted = "Could not convert: ";

// CLI11's own texts, where they are not plain enough, said as an operator
// would want to read them.
std::string ErrorMessage(const CLI::App& app, const CLI::ParseError& error) {
    const std::string what = error.what();
    // An unknown option is named first, also when it made CLI11 miss a
    // required argument ("IMAGE is required").
    const bool unknownOption = !app.remaining().empty() && app.remaining().front().starts_with("-");
    if ((dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && !app.remaining().empty()) ||
        (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && unknownOption)) {
        const std::string first = app.remaining().front();
        return first.starts_with("-") ? "unknown option " + first
                                      : "unexpected argument '" + first + "'";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        if (what.ends_with(kFlagWithValue)) {
            return "--" + what.substr(0, what.size() - kFlagWithValue.size()) + " takes no value";
        }
        // "--port: 1 required N missing": the option came last, without its value.
        const std::size_t colon = what.find(':');
        if (colon != std::string::npos && what.ends_with(" missing")) {
            const std::string name = what.substr(0, colon);
            const CLI::Option* option = app.get_option_no_throw(name);
            return name + " needs a value" +
                   (option != nullptr ? ": " + option->get_type_name() : std::string());
        }
    }
    // "Could not convert: --limit = many"
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr &&
        what.starts_with(kNotConverted)) {
        const std::string rest = what.substr(kNotConverted.size());
        const std::size_t equals = rest.find(" = ");
        if (equals != std::string::npos) {
            const std::string name = rest.substr(0, equals);
            const CLI::Option* option = app.get_option_no_throw(name);
            return name + " takes " +
                   (option != nullptr ? option->get_type_name() : std::string("another value")) +
                   ", not '" + rest.substr(equals + 3) + "'";
        }
    }
    return what;
}

// Option names in the help without the braces in which CLI11 keeps a flag's
// value when given alone ("--record{}").
class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        std::string name = CLI::Formatter::make_option_name(option, positional);
        for (std::size_t open; (open = name.find('{')) != std::string::npos;) {
            const std::size_t close = name.find('}', open);
            name.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
        }
        return name;
    }
};

}  // namespace

CLI::App& SetUpCommandLine(CLI::App& app) {
    // A flag is there or not: "--json=0" would read as its opposite.
    app.option_defaults()->disable_flag_override();
    app.set_version_flag("--version", VersionLine(app.get_name()),
                         "show the program's version and exit");
    app.set_help_flag("-h,--help", "show this help and exit");
    auto formatter = std::make_shared<HelpFormatter>();
    formatter->column_width(26);
    app.formatter(formatter);
    return app;
}

CLI::Option* AddCheckedOption(CLI::App& app, const std::string& name, const std::string& type,
                              const std::string& help, ValueCheck check) {
    const auto apply = [name, check = std::move(check)](const std::vector<std::string>& values) {
        for (const std::string& value : values) {
            if (std::string error = check(value); !error.empty()) {
                throw CLI::ValidationError(name, error);
            }
        }
    };
    return app.add_option_function<std::vector<std::string>>(name, apply, help)
        ->type_name(type)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::string CheckSeconds(const std::string& text, std::optional<double>& out) {
    try {
        std::size_t used = 0;
        const double seconds = std::stod(text, &used);
        if (used == text.size() && std::isfinite(seconds) && seconds > 0) {
            out = seconds;
            return {};
        }
    } catch (const std::exception&) {
        // not a number at all: said below
    }
    return text + " is not a number of seconds above 0";
}

std::optional<CommandLineExit> ParseCommandLine(CLI::App& app, int argc, const char* const* argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::string help = app.help();
        if (!help.ends_with('\n')) {
            help += '\n';  // CLI11 leaves the footer's line open
        }
        return CommandLineExit{0, help};
    } catch (const CLI::CallForVersion&) {
        return CommandLineExit{0, app.version() + "\n"};
    } catch (const CLI::ParseError& error) {
        return UsageError(app.get_name(), ErrorMessage(app, error));
    }
    return std::nullopt;
}

CommandLineExit UsageError(std::string_view program, std::string_view message) {
    return {kExitUsage, std::string(program) + ": error: " + std::string(message) +
                            "\nRun with --help for more information.\n"};
}

int Report(const CommandLineExit& exit) {
    std::fputs(exit.text.c_str(), exit.status == 0 ? stdout : stderr);
    return exit.status;
}

}  // namespace vantrel
