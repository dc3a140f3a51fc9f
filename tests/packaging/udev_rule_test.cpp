// The udev rule for USB serial adapters: its syntax, and what it does to a
// table of made-up adapters.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tests/packaging/udev_rules.h"

namespace vantrel::test {
namespace {

std::vector<UdevLine> RulesFile() {
    std::ifstream file(VANTREL_SOURCE_DIR "/packaging/udev/60-vantrel.rules");
    std::ostringstream text;
    text << file.rdbuf();
    auto parsed = ParseUdevRules(text.str());
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        ADD_FAILURE() << "60-vantrel.rules " << *error;
        return {};
    }
    return std::get<std::vector<UdevLine>>(parsed);
}

TEST(UdevRuleSyntax, TheParserRefusesWhatUdevWouldNotTake) {
    const struct {
        const char* line;
        bool good;
    } cases[] = {
        {R"(SUBSYSTEM=="tty", ATTRS{idVendor}=="0403", GROUP="dialout")", true},
        {R"(SUBSYSTEM=="usb-serial", ATTR{latency_timer}="1")", true},
        {R"(SUBSYSTEMZ=="tty")", false},        // unknown key
        {R"(ATTRS=="0403")", false},            // no attribute
        {R"(GROUP{x}="dialout")", false},       // an attribute it does not take
        {R"(GROUP=="dialout")", false},         // an assignment key compared
        {R"(KERNEL="ttyUSB0")", false},         // a match key assigned
        {R"(MODE="0660)", false},               // unclosed quote
        {R"(MODE=0660)", false},                // unquoted
        {R"(KERNEL=="a" GROUP="b")", false},    // no comma
        {R"(KERNEL=="a", GROUP="b",)", false},  // trailing comma
    };
    for (const auto& c : cases) {
        const auto parsed = ParseUdevRules(std::string(c.line) + "\n");
        EXPECT_EQ(std::holds_alternative<std::vector<UdevLine>>(parsed), c.good) << c.line;
    }
}

TEST(UdevRuleSyntax, EveryLineParsesAndEveryJumpLands) {
    const std::vector<UdevLine> rules = RulesFile();
    ASSERT_FALSE(rules.empty());
    std::set<std::string> labels;
    std::set<std::string> jumps;
    for (const UdevLine& line : rules) {
        for (const UdevPair& pair : line) {
            if (pair.key == "LABEL") {
                labels.insert(pair.value);
            } else if (pair.key == "GOTO") {
                jumps.insert(pair.value);
            }
            if (pair.key == "MODE") {
                EXPECT_EQ(pair.value, "0660");
            }
        }
    }
    for (const std::string& jump : jumps) {
        EXPECT_EQ(labels.count(jump), 1u) << "GOTO=\"" << jump << "\" has no LABEL";
    }
}

// An adapter plugged in: the event of its usb-serial (or, for a CDC ACM
// adapter, USB interface) device and the event of its tty.
struct Adapter {
    const char* name;
    const char* vendor;
    const char* product;
    const char* driver;
    bool acm = false;

    UdevDevice UsbDevice() const {
        return {"usb", "1-1", "usb", {{"idVendor", vendor}, {"idProduct", product}}};
    }
    UdevDevice Interface() const { return {"usb", "1-1:1.0", driver, {}}; }
    UdevEvent SerialEvent(const char* action) const {
        if (acm) {
            return {action, {Interface(), UsbDevice()}};
        }
        return {action, {{"usb-serial", "ttyUSB0", driver, {}}, Interface(), UsbDevice()}};
    }
    UdevEvent TtyEvent(const char* action) const {
        UdevEvent event = SerialEvent(action);
        event.chain.insert(event.chain.begin(), {"tty", acm ? "ttyACM0" : "ttyUSB0", "", {}});
        return event;
    }
};

TEST(UdevRule, LatencyTimerForFtdiAndGroupForTheCommonAdapters) {
    const struct {
        Adapter adapter;
        bool latencyTimer;
        bool dialout;
    } cases[] = {
        {{"FTDI FT232R", "0403", "6001", "ftdi_sio"}, true, true},
        {{"FTDI FT232H", "0403", "6014", "ftdi_sio"}, true, true},
        {{"FTDI chip of an unlisted product", "0403", "6000", "ftdi_sio"}, true, false},
        {{"Silicon Labs CP2102", "10c4", "ea60", "cp210x"}, false, true},
        {{"WCH CH340", "1a86", "7523", "ch341"}, false, true},
        {{"Prolific PL2303", "067b", "2303", "pl2303"}, false, true},
        {{"unknown vendor", "1234", "5678", "usbserial_generic"}, false, false},
        {{"CDC ACM board", "2e8a", "000a", "cdc_acm", true}, false, false},
    };
    const std::vector<UdevLine> rules = RulesFile();
    for (const auto& c : cases) {
        const UdevResult serial = ApplyUdevRules(rules, c.adapter.SerialEvent("add"));
        const UdevResult tty = ApplyUdevRules(rules, c.adapter.TtyEvent("add"));
        if (c.latencyTimer) {
            EXPECT_EQ(serial.attributes,
                      (std::map<std::string, std::string>{{"latency_timer", "1"}}))
                << c.adapter.name;
        } else {
            EXPECT_TRUE(serial.attributes.empty()) << c.adapter.name;
        }
        EXPECT_FALSE(serial.group) << c.adapter.name << ": only its tty gets the group";
        EXPECT_TRUE(tty.attributes.empty()) << c.adapter.name << ": a tty has no latency timer";
        EXPECT_EQ(tty.group, c.dialout ? std::optional<std::string>("dialout") : std::nullopt)
            << c.adapter.name;
        EXPECT_EQ(tty.mode, c.dialout ? std::optional<std::string>("0660") : std::nullopt)
            << c.adapter.name;

        for (const UdevEvent& removed :
             {c.adapter.SerialEvent("remove"), c.adapter.TtyEvent("remove")}) {
            const UdevResult result = ApplyUdevRules(rules, removed);
            EXPECT_TRUE(result.attributes.empty() && !result.group && !result.mode)
                << c.adapter.name << ": nothing is set on removal";
        }
    }
}

}  // namespace
}  // namespace vantrel::test
