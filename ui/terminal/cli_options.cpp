#include "ui/terminal/cli_options.h"

#include <CLI/CLI.hpp>
#include <string_view>

#include "cli/expected_sha256.h"

namespace vantrel {
namespace {

constexpr const char* kProgram = "vantrel-cli";

std::string CheckPort(const std::string& text, int& port) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
        return text + " is not a PORT number 1 to 4";
    }
    port = text[0] - '0';
    return {};
}

// A flag's "--record=" reads to CLI11 as "--record" alone; given so, the URL
// was forgotten, and the unit must not silently go to the default file.
bool EmptyRecordUrl(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--record=") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::variant<CliOptions, CommandLineExit> ParseCliOptions(int argc, const char* const* argv) {
    CliOptions options;
    std::string recordUrl;
    CLI::App app{"Writes IMAGE into the box on the serial line, as the window's Start does.",
                 kProgram};
    SetUpCommandLine(app);
    app.footer(
        "Standard output carries the status and log lines and, at the end, one line with the\n"
        "result; errors and warnings go to standard error. With --json standard output\n"
        "carries only the result as one JSON object.\n"
        "Settings: Vantrel.ini beside the program, else $XDG_CONFIG_HOME/vantrel/Vantrel.ini\n"
        "(~/.config/vantrel/Vantrel.ini), else /etc/vantrel/Vantrel.ini.\n"
        "Exit status: 0 updated, 1 failed, cancelled or timed out, 2 nothing started.");
    AddCheckedOption(app, "--port", "N",
                     "PORT N, 1 to 4 (default 1): the device given with --device, else the "
                     "one VANTREL_COM<N>, the settings file or the N-th port found names, else "
                     "/dev/ttyS<N-1>",
                     [&](const std::string& v) { return CheckPort(v, options.port); });
    AddCheckedOption(
        app, "--device", "PATH", "open PATH as PORT N; messages about the port name it as given",
        [&](const std::string& v) {
            options.device = v;
            return v.empty() ? "the path of a serial device is missing" : std::string();
        });
    AddCheckedOption(app, "--timeout", "SECONDS",
                     "cancel when the update has made no progress for this long: the box sent "
                     "nothing, or refused the same frame again and again (default: wait for "
                     "ever)",
                     [&](const std::string& v) { return CheckSeconds(v, options.timeoutSeconds); });
    std::optional<std::string> expectSha256;
    AddExpectSha256Option(app, expectSha256);
    app.add_flag("--record{}", recordUrl,
                 "record the unit: in $XDG_DATA_HOME/vantrel/records.sqlite, or (--record=URL) in "
                 "the file or postgresql:// server URL names")
        ->type_name("[=URL]")
        ->disable_flag_override(false);
    AddLabelOptions(app, options.labels, /*withBoxSerial=*/true);
    app.add_flag("-q,--quiet", options.quiet, "print only the result line and errors");
    app.add_flag("--json", options.json,
                 "the result as one JSON object, the only output on standard output (with "
                 "--list-ports: the list as JSON)");
    app.add_flag("--verbose", options.verbose,
                 "say on standard error which settings files were tried and which is read");
    app.add_flag("--list-ports", options.listPorts,
                 "list this machine's serial ports, the PORT that maps to each, and whether it "
                 "can be opened, instead of writing an IMAGE");
    app.add_option("IMAGE", options.image, "the image file to write")->type_name("");
    if (EmptyRecordUrl(argc, argv)) {
        return UsageError(kProgram, "--record= takes a file or a postgresql:// URL");
    }
    if (auto exit = ParseCommandLine(app, argc, argv)) {
        return *exit;
    }
    options.record = app.count("--record") > 0;
    if (options.record && !recordUrl.empty()) {
        options.recordUrl = recordUrl;
    }
    if (options.listPorts) {
        if (!options.image.empty()) {
            return UsageError(kProgram, "--list-ports takes no IMAGE");
        }
        return options;
    }
    if (options.image.empty()) {
        return UsageError(kProgram, "no IMAGE given");
    }
    if (auto exit =
            LookUpExpectedSha256(kProgram, expectSha256, options.image, options.expectedSha256)) {
        return *exit;
    }
    return options;
}

}  // namespace vantrel
