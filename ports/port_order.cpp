#include "ports/port_order.h"

#include <algorithm>

namespace vantrel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TakeDigits(std::string_view& text) {
    std::size_t length = 0;
    while (length < text.size() && IsDigit(text[length])) {
        ++length;
    }
    const std::string_view digits = text.substr(0, length);
    text.remove_prefix(length);
    return digits;
}

// Compares digit runs by value without converting them, so no run is too long.
int CompareNumbers(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    while (!a.empty() && !b.empty()) {
        if (IsDigit(a.front()) && IsDigit(b.front())) {
            const int order = CompareNumbers(TakeDigits(a), TakeDigits(b));
            if (order != 0) {
                return order < 0;
            }
            continue;
        }
        if (a.front() != b.front()) {
            return a.front() < b.front();
        }
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    return a.size() < b.size();
}

void SortPorts(std::vector<DetectedPort>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        if (a.kind != b.kind) {
            return a.kind == PortKind::kUart;
        }
        const std::string_view keyA = a.kind == PortKind::kUsb ? a.physicalPath : a.sysName;
        const std::string_view keyB = b.kind == PortKind::kUsb ? b.physicalPath : b.sysName;
        if (NaturalLess(keyA, keyB) || NaturalLess(keyB, keyA)) {
            return NaturalLess(keyA, keyB);
        }
        return NaturalLess(a.sysName, b.sysName);
    });
}

}  // namespace vantrel
