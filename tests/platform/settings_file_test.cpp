#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/executable_path.h"
#include "platform/ini_file.h"
#include "platform/profile_reader.h"
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

TEST(ExecutablePath, PlacesTheSettingsFileBesideTheProgram) {
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(SettingsPathBesideExecutable(), DirectoryOfPath(exe) + "Vantrel.ini");
    EXPECT_EQ(ApplicationName(), "platform_tests");
}

}  // namespace
}  // namespace vantrel
