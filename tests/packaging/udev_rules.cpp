#include "tests/packaging/udev_rules.h"

#include <fnmatch.h>

#include <cctype>

namespace vantrel::test {
namespace {

enum class KeyKind { kMatch, kMatchParent, kAssign, kBoth };

const std::map<std::string, KeyKind>& Keys() {
    static const std::map<std::string, KeyKind> keys = {
        {"ACTION", KeyKind::kMatch},
        {"SUBSYSTEM", KeyKind::kMatch},
        {"KERNEL", KeyKind::kMatch},
        {"DRIVER", KeyKind::kMatch},
        {"SUBSYSTEMS", KeyKind::kMatchParent},
        {"KERNELS", KeyKind::kMatchParent},
        {"DRIVERS", KeyKind::kMatchParent},
        {"ATTRS", KeyKind::kMatchParent},
        {"ATTR", KeyKind::kBoth},
        {"GROUP", KeyKind::kAssign},
        {"MODE", KeyKind::kAssign},
        {"GOTO", KeyKind::kAssign},
        {"LABEL", KeyKind::kAssign},
    };
    return keys;
}

bool IsMatchOp(const std::string& op) {
    return op == "==" || op == "!=";
}

std::optional<std::string> CheckPair(const UdevPair& pair) {
    const auto found = Keys().find(pair.key);
    if (found == Keys().end()) {
        return "unknown key " + pair.key;
    }
    const bool takesAttribute = pair.key == "ATTR" || pair.key == "ATTRS";
    if (takesAttribute == pair.attribute.empty()) {
        return pair.key + (takesAttribute ? " needs" : " takes no") + " {attribute}";
    }
    const bool match = IsMatchOp(pair.op);
    const KeyKind kind = found->second;
    if ((match && kind == KeyKind::kAssign) ||
        (!match && (kind == KeyKind::kMatch || kind == KeyKind::kMatchParent))) {
        return pair.key + " does not take " + pair.op;
    }
    return std::nullopt;
}

// KEY{attribute}OP"value" at `at`, which is moved past it.
std::variant<UdevPair, std::string> ParsePair(const std::string& line, std::size_t& at) {
    UdevPair pair;
    while (at < line.size() && (std::isupper(static_cast<unsigned char>(line[at])) != 0)) {
        pair.key += line[at++];
    }
    if (at < line.size() && line[at] == '{') {
        const std::size_t close = line.find('}', at);
        if (close == std::string::npos) {
            return "unclosed {";
        }
        pair.attribute = line.substr(at + 1, close - at - 1);
        at = close + 1;
    }
    for (const char* op : {"==", "!=", "+=", ":=", "="}) {
        if (line.compare(at, std::char_traits<char>::length(op), op) == 0) {
            pair.op = op;
            break;
        }
    }
    if (pair.key.empty() || pair.op.empty()) {
        return "no KEY and operator at column " + std::to_string(at + 1);
    }
    at += pair.op.size();
    if (at >= line.size() || line[at] != '"') {
        return "value of " + pair.key + " is not quoted";
    }
    const std::size_t close = line.find('"', at + 1);
    if (close == std::string::npos) {
        return "unclosed quote after " + pair.key;
    }
    pair.value = line.substr(at + 1, close - at - 1);
    at = close + 1;
    return pair;
}

std::variant<UdevLine, std::string> ParseLine(const std::string& line) {
    UdevLine pairs;
    std::size_t at = 0;
    while (true) {
        auto pair = ParsePair(line, at);
        if (const auto* error = std::get_if<std::string>(&pair)) {
            return *error;
        }
        if (const auto error = CheckPair(std::get<UdevPair>(pair))) {
            return *error;
        }
        pairs.push_back(std::get<UdevPair>(std::move(pair)));
        if (at == line.size()) {
            return pairs;
        }
        if (line.compare(at, 2, ", ") != 0) {
            return "pairs must be separated by \", \" at column " + std::to_string(at + 1);
        }
        at += 2;
    }
}

// udev's patterns: shell globs, alternatives separated by '|'.
bool Matches(const std::string& pattern, const std::string& value) {
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = pattern.find('|', start);
        const std::string one = pattern.substr(start, bar - start);
        if (::fnmatch(one.c_str(), value.c_str(), 0) == 0) {
            return true;
        }
        if (bar == std::string::npos) {
            return false;
        }
        start = bar + 1;
    }
}

// The value a plain key compares on `device`, nothing when it has none.
std::optional<std::string> Property(const UdevPair& pair, const UdevDevice& device,
                                    const std::string& action) {
    const std::string& key = pair.key;
    if (key == "ACTION") {
        return action;
    }
    if (key == "SUBSYSTEM" || key == "SUBSYSTEMS") {
        return device.subsystem;
    }
    if (key == "KERNEL" || key == "KERNELS") {
        return device.kernel;
    }
    if (key == "DRIVER" || key == "DRIVERS") {
        return device.driver;
    }
    const auto found = device.attributes.find(pair.attribute);
    return found == device.attributes.end() ? std::nullopt : std::optional(found->second);
}

bool PairHolds(const UdevPair& pair, const UdevDevice& device, const std::string& action) {
    const auto value = Property(pair, device, action);
    const bool matches = value && Matches(pair.value, *value);
    return pair.op == "==" ? matches : !matches;
}

bool LineMatches(const UdevLine& line, const UdevEvent& event) {
    std::vector<const UdevPair*> parentKeys;
    for (const UdevPair& pair : line) {
        if (!IsMatchOp(pair.op)) {
            continue;
        }
        if (Keys().at(pair.key) == KeyKind::kMatchParent) {
            parentKeys.push_back(&pair);
        } else if (!PairHolds(pair, event.chain.front(), event.action)) {
            return false;
        }
    }
    if (parentKeys.empty()) {
        return true;
    }
    for (const UdevDevice& device : event.chain) {
        bool all = true;
        for (const UdevPair* pair : parentKeys) {
            all = all && PairHolds(*pair, device, event.action);
        }
        if (all) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::variant<std::vector<UdevLine>, std::string> ParseUdevRules(const std::string& text) {
    std::vector<UdevLine> rules;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto parsed = ParseLine(line);
        if (const auto* error = std::get_if<std::string>(&parsed)) {
            return "line " + std::to_string(number) + ": " + *error;
        }
        rules.push_back(std::get<UdevLine>(std::move(parsed)));
    }
    return rules;
}

UdevResult ApplyUdevRules(const std::vector<UdevLine>& rules, const UdevEvent& event) {
    UdevResult result;
    std::optional<std::string> skipTo;
    for (const UdevLine& line : rules) {
        if (skipTo) {
            if (line.front().key == "LABEL" && line.front().value == *skipTo) {
                skipTo.reset();
            }
            continue;
        }
        if (!LineMatches(line, event)) {
            continue;
        }
        for (const UdevPair& pair : line) {
            if (pair.key == "GOTO") {
                skipTo = pair.value;
            } else if (pair.key == "GROUP") {
                result.group = pair.value;
            } else if (pair.key == "MODE") {
                result.mode = pair.value;
            } else if (pair.key == "ATTR" && !IsMatchOp(pair.op)) {
                result.attributes[pair.attribute] = pair.value;
            }
        }
    }
    return result;
}

}  // namespace vantrel::test
