#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/profile_reader.h"
#include "platform/settings_lookup.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

TEST(ReadProfileString, FindsValuesAsTheProfileFormatDefinesThem) {
    const std::string file =
        "; comment line\n"
        "[First]\r\n"
        "Version=from-first\r\n"
        "  [ loader version ]  \n"
        "  version  =   v1.2 with blanks   \n"
        "Quoted=\"  spaced  \"\n"
        "Empty=\n"
        ";Version=commented\n"
        "Other=x=y\n"
        "[Later]\n"
        "Version=from-later\n";
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } cases[] = {
        {"LOADER VERSION", "Version", "v1.2 with blanks"},
        {" Loader Version ", "VERSION", "v1.2 with blanks"},
        {"First", "Version", "from-first"},
        {"Later", "version", "from-later"},
        {"loader version", "Quoted", "  spaced  "},
        {"loader version", "Empty", ""},
        {"loader version", "Other", "x=y"},
        {"loader version", "Missing", "<default>"},
        {"Missing", "Version", "<default>"},
    };
    test::TempDir dir;
    const std::string path = dir.Write("Vantrel.ini", file);
    for (const auto& c : cases) {
        EXPECT_EQ(ReadProfileString(path, c.section, c.key, "<default>", 64), c.value)
            << c.section << '/' << c.key;
    }
    EXPECT_EQ(ReadProfileString(dir.File("absent.ini"), "First", "Version", "<default>", 64),
              "<default>");
}

TEST(CIniFile, ReadValueCutsToTheCapacity) {
    const std::string forty(40, 'v');
    const struct {
        std::string settings;
        std::size_t capacity;
        std::string value;
    } cases[] = {
        {"[S]\nK=0123456789\n", 32, "0123456789"},
        {"[S]\nK=0123456789AB\n", 32, "0123456789AB"},
        {"[S]\nK=" + forty + "\n", 32, std::string(31, 'v')},
        {"[S]\nK=0123456789\n", 4, "012"},
        {"[S]\nK=0123456789\n", 1, ""},
        {"", 32, ""},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CIniFile ini;
        ini.SetPath(c.settings.empty() ? dir.File("none.ini") : dir.Write("v.ini", c.settings));
        std::array<char, 64> out;
        out.fill('#');
        const int placed = ini.ReadValue("S", "K", std::span<char>(out.data(), c.capacity));
        EXPECT_EQ(placed, static_cast<int>(c.value.size()));
        EXPECT_EQ(std::string(out.data()), c.value) << "terminated inside the capacity";
        EXPECT_EQ(out[c.capacity], '#') << "nothing written past the capacity";
    }
}

TEST(DirectoryOfPath, KeepsEverythingUpToTheLastSlash) {
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/local/bin/vantrel", "/usr/local/bin/"},
        {"/vantrel", "/"},
        {"vantrel", ""},
        {"dir/", "dir/"},
        {"", ""},
        {"/" + std::string(5000, 'd') + "/vantrel", "/" + std::string(5000, 'd') + "/"},
    };
    for (const auto& [path, directory] : cases) {
        EXPECT_EQ(DirectoryOfPath(path), directory) << path.substr(0, 40);
    }
}

// Beside the program, then the user's, then the machine's; the first one
// that can be read wins, and the lookup stops there.
TEST(LookUpSettingsFile, TakesTheFirstReadableCandidate) {
    const std::string beside = "/opt/vantrel/bin/Vantrel.ini";
    const std::string user = "/home/op/.config/vantrel/Vantrel.ini";
    const std::string xdg = "/cfg/vantrel/Vantrel.ini";
    const std::string machine = "/etc/vantrel/Vantrel.ini";
    const struct {
        const char* name;
        std::optional<std::string> xdgConfigHome;
        std::vector<std::string> readable;
        std::string path;
        std::vector<std::string> tried;
    } cases[] = {
        {"beside wins", std::nullopt, {beside, user, machine}, beside, {beside}},
        {"user's next", std::nullopt, {user, machine}, user, {beside, user}},
        {"machine's last", std::nullopt, {machine}, machine, {beside, user, machine}},
        {"none: beside, read as empty", std::nullopt, {}, beside, {beside, user, machine}},
        {"XDG_CONFIG_HOME", "/cfg", {xdg, user}, xdg, {beside, xdg}},
        {"empty XDG_CONFIG_HOME", "", {user}, user, {beside, user}},
        {"relative XDG_CONFIG_HOME", "cfg", {user}, user, {beside, user}},
    };
    for (const auto& c : cases) {
        const auto environment = [&](const char* name) -> std::optional<std::string> {
            if (std::string_view(name) == "XDG_CONFIG_HOME") {
                return c.xdgConfigHome;
            }
            return std::string_view(name) == "HOME" ? std::optional<std::string>("/home/op")
                                                    : std::nullopt;
        };
        const auto readable = [&](const std::string& path) {
            return std::find(c.readable.begin(), c.readable.end(), path) != c.readable.end();
        };
        const SettingsLookup lookup =
            LookUpSettingsFile("/opt/vantrel/bin/", environment, readable);
        EXPECT_EQ(lookup.path, c.path) << c.name;
        EXPECT_EQ(lookup.tried, c.tried) << c.name;
        EXPECT_EQ(lookup.found, !c.readable.empty()) << c.name;
    }
    const auto noHome = [](const char*) { return std::optional<std::string>(); };
    EXPECT_EQ(LookUpSettingsFile("", noHome, [](const std::string&) { return false; }).tried,
              (std::vector<std::string>{"Vantrel.ini", machine}))
        << "without a home there is no user's file to look for";
}

// What cannot be read as a file counts as no file: here a directory where
// the user's settings file would be.
TEST(LookUpSettingsFile, ADirectoryOfThatNameIsNoSettingsFile) {
    test::TempDir dir;
    const std::string user = dir.File("config/vantrel/Vantrel.ini");
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    ASSERT_TRUE(std::filesystem::create_directories(user));
    const SettingsLookup asDirectory = LookUpSettingsFile();
    std::filesystem::remove(user);
    dir.Write("config/vantrel/Vantrel.ini", "[LOADER VERSION]\n");
    const SettingsLookup asFile = LookUpSettingsFile();
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_NE(asDirectory.path, user);
    EXPECT_EQ(asFile.path, user);
}

TEST(ExecutablePath, PlacesTheSettingsFileBesideTheProgram) {
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(LookUpSettingsFile().tried.front(), DirectoryOfPath(exe) + "Vantrel.ini");
    EXPECT_EQ(ApplicationName(), "platform_tests");
}

}  // namespace
}  // namespace vantrel
