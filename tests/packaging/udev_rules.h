#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vantrel::test {

// One KEY{attribute}OP"value" pair of a udev rule line.
struct UdevPair {
    std::string key;
    std::string attribute;  // empty for keys without one
    std::string op;
    std::string value;
};

using UdevLine = std::vector<UdevPair>;

// The rule lines of a rules file (comments and blank lines left out), or
// why a line is not udev syntax this test knows: an unknown key, an
// operator the key does not take, a missing quote or comma.
std::variant<std::vector<UdevLine>, std::string> ParseUdevRules(const std::string& text);

// A device of a made-up sysfs tree: what udev compares the plain keys with
// (the device itself) and the keys ending in S with (the device or one of
// its parents, every such key of a line on the same one).
struct UdevDevice {
    std::string subsystem;
    std::string kernel;
    std::string driver;
    std::map<std::string, std::string> attributes;
};

struct UdevEvent {
    std::string action;
    std::vector<UdevDevice> chain;  // the event's device first, then its parents
};

// What the rules assigned to the event's device.
struct UdevResult {
    std::optional<std::string> group;
    std::optional<std::string> mode;
    std::map<std::string, std::string> attributes;
};

// Applies the rules in order, as udev does, following GOTO to its LABEL.
UdevResult ApplyUdevRules(const std::vector<UdevLine>& rules, const UdevEvent& event);

}  // namespace vantrel::test
