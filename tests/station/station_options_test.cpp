#include "station/station_options.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/ini_file.h"
#include "station/port_devices.h"
#include "station/slot_names.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

std::variant<StationOptions, CommandLineExit> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vantrel-station");
    return ParseStationOptions(static_cast<int>(args.size()), args.data());
}

TEST(ParseStationOptions, TakesTheImageAndEachPort) {
    const auto parsed = Parse({"--loop", "--timeout", "2.5", "--json", "--window", "--ask-serial",
                               "image.bin", "1", "4", "/dev/ttyUSB0"});
    ASSERT_TRUE(std::holds_alternative<StationOptions>(parsed));
    const auto& options = std::get<StationOptions>(parsed);
    EXPECT_TRUE(options.loop);
    EXPECT_EQ(options.timeoutSeconds, 2.5);
    EXPECT_TRUE(options.json);
    EXPECT_TRUE(options.window);
    EXPECT_TRUE(options.askSerial);
    EXPECT_FALSE(options.noRecord);
    EXPECT_EQ(options.image, "image.bin");
    ASSERT_EQ(options.ports.size(), 3u);
    EXPECT_EQ(options.ports[0].label, "PORT 1");
    EXPECT_EQ(options.ports[1].portNumber, 4);
    EXPECT_EQ(options.ports[1].device, std::nullopt);
    EXPECT_EQ(options.ports[2].label, "/dev/ttyUSB0");
    EXPECT_EQ(options.ports[2].device, "/dev/ttyUSB0");
}

TEST(ParseStationOptions, RefusesWhatCannotBeRun) {
    const struct {
        std::vector<const char*> args;
        const char* named;  // in the one line of the error
    } cases[] = {
        {{"image.bin", "5"}, "PORT 5 is neither 1 to 4 nor a device path"},
        {{"image.bin", "0"}, "PORT 0"},
        {{"image.bin", "ttyUSB0"}, "PORT ttyUSB0"},
        {{"image.bin"}, "PORT"},
        {{}, "IMAGE"},
        {{"--record", "x.sqlite", "--no-record", "image.bin", "1"}, "--no-record"},
        {{"--timeout", "-1", "image.bin", "1"}, "--timeout"},
        {{"--timeout", "soon", "image.bin", "1"}, "--timeout"},
        {{"--bogus", "image.bin", "1"}, "--bogus"},
        {{"--ask-serial", "image.bin", "1"}, "--window"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(std::holds_alternative<CommandLineExit>(parsed)) << c.named;
        const auto& usage = std::get<CommandLineExit>(parsed);
        EXPECT_EQ(usage.status, 2) << c.named;
        EXPECT_NE(usage.text.find(c.named), std::string::npos) << usage.text;
        EXPECT_NE(usage.text.find("--help"), std::string::npos) << usage.text;
    }
}

std::string Repeat(std::string_view text, std::size_t times) {
    std::string repeated;
    for (std::size_t i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

TEST(SlotNames, FromTheCommandLineOverTheSettingsEachChecked) {
    test::TempDir dir;
    const std::string usb0 = dir.Write("ttyUSB0", "");
    const std::string usb1 = dir.Write("ttyUSB1", "");
    const std::string byPath = dir.File("pci-0000:00:14.0-usb-0:2:1.0-port0");
    std::filesystem::create_symlink(usb1, byPath);
    const std::string wide32 = Repeat("\xe5\xb7\xa5", 32);  // 工, two columns each
    const std::string wide33 = Repeat("\xe5\xb7\xa5", 33);
    const struct {
        const char* what;
        std::vector<std::string> ports;
        std::string station;  // the [STATION] section's lines
        std::vector<std::string> labels;
        std::string error;   // what the one line names, when refused
        bool usage = false;  // refused by the command line's parser
    } cases[] = {
        {"NAME=PORT names its slot", {"A1=" + usb0, "B2=3"}, "", {"A1", "B2"}, "", false},
        {"no name: the port as given", {usb0, "2"}, "", {usb0, "PORT 2"}, "", false},
        {"a name from the settings, by device",
         {usb0, byPath},
         "Slot " + usb0 + "=Bench 1\nSlot " + byPath + " = B 2\n",
         {"Bench 1", "B 2"},
         "",
         false},
        {"a name from the settings, by where the link leads",
         {byPath},
         "Slot " + usb1 + "=Left",
         {"Left"},
         "",
         false},
        {"the command line wins", {"A1=" + usb0}, "Slot " + usb0 + "=Z9", {"A1"}, "", false},
        {"32 wide characters", {wide32 + "=" + usb0}, "", {wide32}, "", false},
        {"33 characters", {wide33 + "=" + usb0}, "", {}, "longer than 32 characters", true},
        {"an empty name", {"=" + usb0}, "", {}, "slot name '' in =", true},
        {"a control character", {"A\t1=" + usb0}, "", {}, "control character U+0009", true},
        {"an '=' in a settings name", {usb0}, "Slot " + usb0 + "=A=1", {}, "has an '=' in it"},
        {"not UTF-8", {"A\xff=" + usb0}, "", {}, "not valid UTF-8", true},
        {"two slots, one name", {"A1=" + usb0, "A1=" + usb1}, "", {}, "two slots are named 'A1'"},
        {"a settings name taken on the command line",
         {"A1=" + usb0, usb1},
         "Slot " + usb1 + "=A1",
         {},
         "two slots are named 'A1'"},
        {"a name that is a PORT's label", {"PORT 2=" + usb0, "2"}, "", {}, "'PORT 2'"},
        {"a bad name in the settings",
         {usb0},
         "Slot " + usb0 + "=" + Repeat("x", 33),
         {},
         "(Slot " + usb0 + " in [STATION] of "},
    };
    ::setenv("VANTREL_COM2", usb1.c_str(), 1);
    ::setenv("VANTREL_COM3", dir.Write("ttyUSB3", "").c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<const char*> args = {"image.bin"};
        for (const std::string& port : c.ports) {
            args.push_back(port.c_str());
        }
        auto parsed = Parse(args);
        if (const auto* usage = std::get_if<CommandLineExit>(&parsed)) {
            EXPECT_TRUE(c.usage) << usage->text;
            EXPECT_EQ(usage->status, 2);
            EXPECT_NE(usage->text.find(c.error), std::string::npos) << usage->text;
            continue;
        }
        ASSERT_FALSE(c.usage) << "accepted by the parser";
        auto& options = std::get<StationOptions>(parsed);
        CIniFile settings;
        settings.SetPath(dir.Write("Vantrel.ini", "[STATION]\n" + c.station + "\n"));
        const auto wrong =
            NameSlots(options.ports, ResolvePortDevices(options.ports, settings), settings);
        if (!c.error.empty()) {
            ASSERT_TRUE(wrong.has_value());
            EXPECT_NE(wrong->find(c.error), std::string::npos) << *wrong;
            continue;
        }
        ASSERT_FALSE(wrong.has_value()) << *wrong;
        std::vector<std::string> labels;
        for (const StationPortArg& port : options.ports) {
            labels.push_back(port.label);
        }
        EXPECT_EQ(labels, c.labels);
    }
    ::unsetenv("VANTREL_COM2");
    ::unsetenv("VANTREL_COM3");
}

TEST(FindSharedDevice, TwoNamesOfOneDeviceAreRefused) {
    test::TempDir dir;
    const std::string device = dir.Write("ttyUSB0", "");
    const std::string other = dir.Write("ttyUSB1", "");
    const std::string link = dir.File("by-id-adapter");
    std::filesystem::create_symlink(device, link);
    ::setenv("VANTREL_COM2", link.c_str(), 1);
    ::setenv("VANTREL_COM3", other.c_str(), 1);
    CIniFile settings;
    const struct {
        std::vector<const char*> ports;
        std::optional<std::string> shared;
    } cases[] = {
        {{"1", "2"}, std::nullopt},
        {{device.c_str(), other.c_str()}, std::nullopt},
        {{device.c_str(), device.c_str()},
         device + " and " + device + " are the same device (" + device + ")"},
        {{device.c_str(), link.c_str()},
         device + " and " + link + " are the same device (" + device + ")"},
        {{"2", device.c_str()}, "PORT 2 and " + device + " are the same device (" + device + ")"},
        {{"3", "3"}, "PORT 3 and PORT 3 are the same device (" + other + ")"},
        {{"3", "2"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::vector<StationPortArg> ports;
        for (const char* port : c.ports) {
            ports.push_back(*ParseStationPort(port));
        }
        EXPECT_EQ(FindSharedDevice(ports, ResolvePortDevices(ports, settings)), c.shared);
    }
    ::unsetenv("VANTREL_COM2");
    ::unsetenv("VANTREL_COM3");
}

}  // namespace
}  // namespace vantrel
