// The bash completion script: it offers exactly the options each program's
// --help lists (read from the built program, so a new or renamed option
// shows up here), and the values that each option and operand takes.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/packaging/help_options.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {
namespace {

using std::chrono::seconds;
using Names = std::set<std::string>;

constexpr const char* kCompletionScript = VANTREL_SOURCE_DIR "/packaging/bash-completion/vantrel";

// Loads bash-completion and our script, then completes the last of the
// words as bash would after Tab: COMP_WORDS split as bash splits them (an
// "=" is a word of its own) and the program's completion function called.
constexpr const char* kComplete = R"(
source /usr/share/bash-completion/bash_completion || exit 3
source "$1" || exit 3
shift
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
registered=$(complete -p "$1") || exit 4
function=${registered##*-F }
function=${function%% *}
"$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";

Names Lines(const std::string& text) {
    Names lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty()) {
            lines.insert(line);
        }
    }
    return lines;
}

// What Tab offers after `words` (the last one the word being completed).
Names Complete(const std::vector<std::string>& words) {
    std::vector<std::string> argv = {"/bin/bash", "-c", kComplete, "complete", kCompletionScript};
    argv.insert(argv.end(), words.begin(), words.end());
    ChildProcess bash(argv);
    const auto status = bash.Wait(seconds(20));
    EXPECT_EQ(status, 0) << bash.Err();
    return Lines(bash.Out());
}

std::string HelpText(const std::string& program) {
    ChildProcess child({program, "--help"});
    const auto status = child.Wait(seconds(20));
    EXPECT_EQ(status, 0) << program << " --help: " << child.Err();
    return child.Out();
}

Names Without(Names names, const Names& taken) {
    for (const std::string& name : taken) {
        names.erase(name);
    }
    return names;
}

struct Program {
    const char* name;
    const char* path;
};

const Program kPrograms[] = {
    {"vantrel-cli", VANTREL_CLI_PATH},
    {"vantrel-station", VANTREL_STATION_PATH},
    {"vantrel-records", VANTREL_RECORDS_PATH},
    {"vantrel-boxsim", VANTREL_BOXSIM_PATH},
};

TEST(HelpOptions, ReadsTheOptionNamesOfEveryHelpLayout) {
    const struct {
        const char* help;
        Names options;
    } cases[] = {
        {"  -h,--help    Print this help message and exit\n", {"-h", "--help"}},
        {"  -h, --help             show this text\n", {"-h", "--help"}},
        {"  --device PATH          serve this serial device\n", {"--device"}},
        {"  --record[=URL]     record the unit\n", {"--record"}},
        {"  --record=URL  record the unit\n", {"--record"}},
        {"  --record TEXT Excludes: --no-record\n", {"--record"}},
        // Names inside a description or its continuation are not options
        // of that line.
        {"  --bench   announce every --announce-every until\n"
         "            a handshake, see --out\n",
         {"--bench"}},
        {"usage: vantrel-cli [--port N | --device PATH] [--record[=URL]]\n"
         "                  IMAGE\n"
         "       vantrel-cli --list-ports [--json]\n",
         {"--port", "--device", "--record", "--list-ports", "--json"}},
        {"Usage: vantrel-station [OPTIONS] IMAGE PORT...\n", {}},
        // The usage ends at the first line that is not indented.
        {"Usage: prog [OPTION]...\nPlays with --nothing.\n", {}},
        {"Exit status: 0 updated, 1 failed, 2 for bad arguments.\n", {}},
        {"  -- not an option\n  - nor this\n  ---nor-this\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HelpOptions(c.help), c.options) << c.help;
    }
}

// Every program takes these whether or not its --help lists them yet.
const Names kEveryProgramsOptions = {"-h", "--help", "--version"};

TEST(BashCompletion, OffersExactlyTheOptionsEachProgramsHelpLists) {
    for (const Program& program : kPrograms) {
        const Names listed = HelpOptions(HelpText(program.path));
        ASSERT_FALSE(listed.empty()) << program.name << " --help lists no option";
        const Names offered = Complete({program.name, "-"});
        EXPECT_EQ(Without(listed, offered), Names{})
            << program.name << ": options --help lists that Tab does not offer";
        EXPECT_EQ(Without(Without(offered, listed), kEveryProgramsOptions), Names{})
            << program.name << ": options Tab offers that --help does not list";
        EXPECT_EQ(Without(kEveryProgramsOptions, offered), Names{}) << program.name;
    }
}

TEST(BashCompletion, CompletesTheValuesOptionsAndOperandsTake) {
    const TempDir dir;
    const std::string image = dir.Write("image.bin", "ZKMR");
    const std::string typed = dir.File("im");
    const Names ports = {"1", "2", "3", "4"};
    const struct {
        std::vector<std::string> words;
        Names offered;
    } cases[] = {
        {{"vantrel-cli", "--port", ""}, ports},
        {{"vantrel-cli", typed}, {image}},
        // A bare --record takes no value: IMAGE follows it.
        {{"vantrel-cli", "--record", typed}, {image}},
        {{"vantrel-cli", "--record", "=", typed}, {image}},
        {{"vantrel-cli", "--timeout", ""}, {}},
        // A device that is no serial port of this machine, such as a
        // pseudo-terminal, is a path like any other.
        {{"vantrel-cli", "--device", typed}, {image}},
        {{"vantrel-station", typed}, {image}},
        {{"vantrel-station", "--timeout", "5", typed}, {image}},
        {{"vantrel-station", "--record", typed}, {image}},
        {{"vantrel-station", image, ""}, ports},
        {{"vantrel-station", "--loop", image, "1", "3"}, {"3"}},
        {{"vantrel-station", image, typed}, {image}},
        {{"vantrel-records", "--outcome", ""},
         {"completed", "failed", "cancelled", "line-lost", "timed-out", "readback-incomplete"}},
        {{"vantrel-records", "--port", ""}, ports},
        {{"vantrel-records", "--record", "post"}, {"postgresql://"}},
        {{"vantrel-records", "--since", ""}, {}},
        {{"vantrel-boxsim", "--out", typed}, {image}},
        {{"vantrel-boxsim", "--readback", typed}, {image}},
        {{"vantrel-boxsim", "--nak", "handshake,he"}, {"handshake,header"}},
        // Only a stand-in that never answers or vanishes can do so at the
        // global end; a NAK there is no fault the stand-in offers.
        {{"vantrel-boxsim", "--vanish", "gl"}, {"global-end"}},
        {{"vantrel-boxsim", "--silent", "block:3,gl"}, {"block:3,global-end"}},
        {{"vantrel-boxsim", "--nak", "gl"}, {}},
        {{"vantrel-boxsim", "--baud", "115"}, {"115200"}},
        {{"vantrel", "--v"}, {"--version"}},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& word : c.words) {
            line += " [" + word + "]";
        }
        EXPECT_EQ(Complete(c.words), c.offered) << line;
    }
}

}  // namespace
}  // namespace vantrel::test
