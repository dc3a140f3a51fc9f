#include "ui/window_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string_view>
#include <vector>

namespace vantrel {
namespace {

constexpr const char* kProgram = "vantrel";

// Qt's documented options for every application, as QGuiApplication and
// QApplication read them.
constexpr std::string_view kQtOptionsWithValue[] = {
    "-platform",        "-platformpluginpath", "-platformtheme", "-plugin",
    "-qwindowgeometry", "-qwindowicon",        "-qwindowtitle",  "-session",
    "-display",         "-geometry",           "-style",         "-stylesheet"};
constexpr std::string_view kQtFlags[] = {"-reverse", "-widgetcount"};
constexpr std::string_view kQtOptionsWithEquals[] = {
    "-style=", "-stylesheet=", "-qmljsdebugger=", "-dialogs=", "-fontengine="};

template <std::size_t N>
bool OneOf(std::string_view arg, const std::string_view (&names)[N]) {
    return std::find(std::begin(names), std::end(names), arg) != std::end(names);
}

bool QtOptionWithEquals(std::string_view arg) {
    return std::any_of(std::begin(kQtOptionsWithEquals), std::end(kQtOptionsWithEquals),
                       [&](std::string_view prefix) { return arg.starts_with(prefix); });
}

}  // namespace

std::optional<CommandLineExit> ParseWindowOptions(int argc, const char* const* argv) {
    std::vector<const char*> own = {argc > 0 ? argv[0] : kProgram};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (OneOf(arg, kQtOptionsWithValue)) {
            if (++i == argc) {
                return UsageError(kProgram, std::string(arg) + " needs a value");
            }
        } else if (!OneOf(arg, kQtFlags) && !QtOptionWithEquals(arg)) {
            own.push_back(argv[i]);
        }
    }
    CLI::App app{
        "The desktop tool: writes a firmware image into the set-top box on a serial line, "
        "one update at a time, from its window.",
        kProgram};
    SetUpCommandLine(app);
    app.footer(
        "Qt's own options (-platform NAME, -style NAME, -reverse, ...) are passed on to Qt.\n\n"
        "SIGTERM, SIGHUP and Ctrl-C (SIGINT) close any dialog, cancel the update under way as "
        "Cancel does, record it and close the window; a second signal within 10 s is ignored, "
        "one after that ends the program at once.\n\n"
        "Exit status: 0 when the window is closed, or stopped by a signal while no update was "
        "under way; 1 when a signal cancelled an update; 3 when the update a signal caught "
        "completed but its record is not in the record file.");
    return ParseCommandLine(app, static_cast<int>(own.size()), own.data());
}

}  // namespace vantrel
