#include "station/station_options.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/ini_file.h"
#include "station/port_devices.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

std::variant<StationOptions, CommandLineExit> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vantrel-station");
    return ParseStationOptions(static_cast<int>(args.size()), args.data());
}

TEST(ParseStationOptions, TakesTheImageAndEachPort) {
    const auto parsed =
        Parse({"--loop", "--timeout", "2.5", "--json", "image.bin", "1", "4", "/dev/ttyUSB0"});
    ASSERT_TRUE(std::holds_alternative<StationOptions>(parsed));
    const auto& options = std::get<StationOptions>(parsed);
    EXPECT_TRUE(options.loop);
    EXPECT_EQ(options.timeoutSeconds, 2.5);
    EXPECT_TRUE(options.json);
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
