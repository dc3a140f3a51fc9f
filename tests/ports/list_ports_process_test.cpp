// vantrel-cli --list-ports run as a program on a made-up machine: the
// child inherits the test bed through the preload's environment.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/ports/testbed.h"
#include "tests/support/child_process.h"
#include "tests/support/json_text.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

class ListPortsProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::UnderUmockdevPreload())
            << "run under umockdev-wrapper (tests/ports/run-in-testbed.sh)";
    }

    // Standard output of a run that must exit 0.
    std::string ListPorts(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {VANTREL_CLI_PATH, "--list-ports"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        test::ChildProcess cli(argv);
        EXPECT_EQ(cli.Wait(20s), 0) << cli.Err();
        return cli.Out();
    }
};

TEST_F(ListPortsProcess, TableNamesEachPortWithItsLabel) {
    test::Testbed bed;
    ASSERT_TRUE(bed.Load("onboard-uarts.umockdev"));
    ASSERT_TRUE(bed.Load("ftdi-ft232r.umockdev"));
    const std::string out = ListPorts();
    EXPECT_EQ(out.rfind("PORT ", 0), 0u) << "a header row first:\n" << out;
    const struct {
        const char* label;
        const char* device;
        const char* rest;
    } rows[] = {
        {"PORT 1", "/dev/ttyS0 ", "on-board UART"},
        {"PORT 2", "/dev/ttyS2 ", "on-board UART"},
        {"PORT 3", "/dev/ttyS10 ", "on-board UART"},
        {"PORT 4", "/dev/ttyUSB0 ", "FTDI FT232R USB UART, serial A10K3BQ"},
    };
    for (const auto& row : rows) {
        const std::size_t line = out.find("\n" + std::string(row.label) + " ");
        ASSERT_NE(line, std::string::npos) << row.label << " in\n" << out;
        const std::string text = out.substr(line + 1, out.find('\n', line + 1) - line - 1);
        EXPECT_NE(text.find(row.device), std::string::npos) << text;
        EXPECT_NE(text.find(row.rest), std::string::npos) << text;
    }
    EXPECT_NE(out.find("16 ms"), std::string::npos) << "the adapter's latency timer";
    EXPECT_EQ(out.find("ttyS1 "), std::string::npos) << "a phantom UART is no port";
}

TEST_F(ListPortsProcess, JsonHoldsTheSamePorts) {
    test::Testbed bed;
    ASSERT_TRUE(bed.Load("ftdi-ft232r.umockdev"));
    ASSERT_TRUE(bed.Load("cdc-acm.umockdev"));
    const nlohmann::json ports = test::ParseJson(ListPorts({"--json"}));
    ASSERT_TRUE(ports.is_array());
    ASSERT_EQ(ports.size(), 2u) << test::JsonText(ports, 2);
    EXPECT_EQ(ports[0]["device"], "/dev/ttyUSB0");
    EXPECT_EQ(ports[0]["port"], 1);
    EXPECT_EQ(ports[0]["serial"], "A10K3BQ");
    EXPECT_EQ(ports[0]["latency_timer_ms"], 16);
    EXPECT_EQ(ports[1]["device"], "/dev/ttyACM0");
    EXPECT_EQ(ports[1]["port"], 2);
    EXPECT_TRUE(ports[1]["latency_timer_ms"].is_null());
}

TEST_F(ListPortsProcess, NothingFoundSaysHowADeviceWouldAppear) {
    test::Testbed bed;
    const std::string out = ListPorts();
    EXPECT_EQ(out.rfind("No serial ports found.", 0), 0u) << out;
    EXPECT_NE(out.find("/dev/ttyUSB<n>"), std::string::npos);
    EXPECT_EQ(test::ParseJson(ListPorts({"--json"})), nlohmann::json::array());
}

}  // namespace
}  // namespace vantrel
