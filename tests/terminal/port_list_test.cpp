#include "ui/terminal/port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/port_discovery.h"
#include "tests/support/json_text.h"

namespace vantrel {
namespace {

DetectedPort Port(const std::string& name, PortKind kind) {
    DetectedPort port;
    port.device = "/dev/" + name;
    port.sysName = name;
    port.kind = kind;
    return port;
}

TEST(PortList, EachPortCarriesTheFirstLabelThatMapsToIt) {
    std::vector<DetectedPort> detected = {Port("ttyS0", PortKind::kUart),
                                          Port("ttyUSB0", PortKind::kUsb),
                                          Port("ttyACM0", PortKind::kUsb)};
    const std::vector<PortDevice> mapped = {
        {"/dev/ttyUSB0", DeviceSource::kEnvironment, "VANTREL_COM1"},  // PORT 1 moved onto it
        {"/dev/ttyUSB0", DeviceSource::kDiscovery, "the 2nd detected port"},
        {"/dev/pts/4", DeviceSource::kEnvironment, "VANTREL_COM3"},  // names nothing detected
        {"/dev/ttyS0", DeviceSource::kDefault, ""},
    };
    const std::vector<ListedPort> listed = LabelPorts(detected, mapped);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].portNumber, 4);
    EXPECT_EQ(listed[1].portNumber, 1);
    EXPECT_EQ(listed[2].portNumber, std::nullopt);
}

TEST(PortList, AccessInWords) {
    const struct {
        PortAccess access;
        std::string text;
    } cases[] = {
        {{true, "", std::nullopt}, "ok"},
        {{false, "dialout", std::nullopt}, "no permission: join the group dialout"},
        {{false, "", std::nullopt}, "no permission"},
        {{true, "", DeviceHolder{42, "minicom", false}}, "in use by minicom (pid 42)"},
        {{true, "", DeviceHolder{43, "", false}}, "in use by another program (pid 43)"},
        {{true, "", DeviceHolder{44, "vantrel-cli", true}}, "ok"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AccessText(c.access), c.text);
    }
}

TEST(PortList, TableAndJsonHoldTheSameRows) {
    DetectedPort adapter = Port("ttyUSB0", PortKind::kUsb);
    adapter.driver = "ftdi_sio";
    adapter.vendorId = "0403";
    adapter.productId = "6001";
    adapter.product = "FT232R USB UART";
    adapter.serial = "A10K3BQ";
    adapter.byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
    adapter.latencyTimerMs = 16;
    adapter.access = {false, "dialout", std::nullopt};
    const std::vector<ListedPort> listed = {{adapter, 2, "set by VANTREL_COM2"},
                                            {Port("ttyS0", PortKind::kUart), {}, {}}};

    const std::string table = FormatPortTable(listed);
    EXPECT_EQ(table.substr(0, table.find('\n')).find("PORT"), 0u);
    const std::string row = table.substr(table.find('\n') + 1);
    EXPECT_EQ(row.find("PORT 2  /dev/ttyUSB0"), 0u) << table;
    for (const std::string& part :
         {adapter.byPath, DescribeDetectedPort(adapter),
          std::string("no permission: join the group dialout"), std::string("16 ms")}) {
        EXPECT_NE(row.find(part), std::string::npos) << part << "\n" << table;
    }

    const nlohmann::json json = test::ParseJson(FormatPortJson(listed));
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["port"], 2);
    EXPECT_EQ(json[0]["device"], "/dev/ttyUSB0");
    EXPECT_EQ(json[0]["vendor_id"], "0403");
    EXPECT_EQ(json[0]["by_path"], adapter.byPath);
    EXPECT_EQ(json[0]["may_open"], false);
    EXPECT_EQ(json[0]["latency_timer_ms"], 16);
    EXPECT_TRUE(json[1]["port"].is_null());
    EXPECT_TRUE(json[1]["latency_timer_ms"].is_null());
    EXPECT_EQ(json[1]["kind"], "uart");
}

TEST(PortList, NothingFoundSaysHowADeviceWouldAppear) {
    const std::string text = FormatPortTable({});
    EXPECT_NE(text.find("No serial ports found"), std::string::npos);
    EXPECT_NE(text.find("/dev/ttyUSB"), std::string::npos);
    EXPECT_EQ(FormatPortJson({}), "[]\n");
}

}  // namespace
}  // namespace vantrel
