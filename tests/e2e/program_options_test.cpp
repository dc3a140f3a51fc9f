// Every program's command line as a script meets it: --version and --help
// on standard output with status 0, and a bad option refused in one line
// with a hint at --help and status 2, before anything opens.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/program_version.h"
#include "tests/support/child_process.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

struct Program {
    std::string name;
    std::string path;
};

std::vector<Program> Programs() {
    return {
        {"vantrel-cli", VANTREL_CLI_PATH},         {"vantrel-boxsim", VANTREL_BOXSIM_PATH},
        {"vantrel-station", VANTREL_STATION_PATH}, {"vantrel-records", VANTREL_RECORDS_PATH},
#ifdef VANTREL_WINDOW_PATH
        {"vantrel", VANTREL_WINDOW_PATH},
#endif
    };
}

TEST(ProgramOptions, EveryProgramAnswersTheSameWay) {
    const std::string hint = "Run with --help for more information.\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // {name}: the program's name; a prefix where it ends with "..."
        std::string err;
    } cases[] = {
        {{"--version"}, 0, "{name} " + std::string(VersionText()) + "\n", ""},
        {{"--help"}, 0, "...Usage: {name} [OPTIONS]", ""},
        {{"--bogus"}, 2, "", "{name}: error: unknown option --bogus\n" + hint},
        {{"--version=1"}, 2, "", "{name}: error: --version takes no value\n" + hint},
    };
    for (const Program& program : Programs()) {
        const auto named = [&](std::string text) {
            for (std::size_t at; (at = text.find("{name}")) != std::string::npos;) {
                text.replace(at, 6, program.name);
            }
            return text;
        };
        for (const auto& c : cases) {
            std::vector<std::string> argv = {program.path};
            argv.insert(argv.end(), c.args.begin(), c.args.end());
            test::ChildProcess child(argv);
            EXPECT_EQ(child.Wait(10s), c.status) << program.name << ' ' << c.args[0];
            const std::string out = named(c.out);
            if (out.starts_with("...")) {
                EXPECT_NE(child.Out().find(out.substr(3)), std::string::npos) << child.Out();
                EXPECT_TRUE(child.Out().ends_with("\n")) << child.Out();
            } else {
                EXPECT_EQ(child.Out(), out) << program.name << ' ' << c.args[0];
            }
            EXPECT_EQ(child.Err(), named(c.err)) << program.name << ' ' << c.args[0];
        }
    }
}

#ifdef VANTREL_WINDOW_PATH
// Qt's own options are left for Qt; the window refuses the rest before Qt
// would need a display.
TEST(ProgramOptions, TheWindowLeavesQtItsOwnOptions) {
    const std::string hint = "Run with --help for more information.\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"-reverse", "-style", "Fusion", "--version"}, 0, ""},
        {{"-platform", "offscreen", "--bogus"},
         2,
         "vantrel: error: unknown option --bogus\n" + hint},
        {{"stray"}, 2, "vantrel: error: unexpected argument 'stray'\n" + hint},
        {{"-platform"}, 2, "vantrel: error: -platform needs a value\n" + hint},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {VANTREL_WINDOW_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ChildProcess child(argv);
        EXPECT_EQ(child.Wait(10s), c.status) << c.args.back();
        EXPECT_EQ(child.Err(), c.err) << c.args.back();
    }
}
#endif

}  // namespace
}  // namespace vantrel
