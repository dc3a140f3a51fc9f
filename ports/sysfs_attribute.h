#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vantrel {

// Sysfs attributes fit in one page; anything beyond is not an attribute value.
inline constexpr std::size_t kMaxAttributeBytes = 4096;

// The value of attribute `name` of the device at `syspath`, without its
// trailing newline; at most kMaxAttributeBytes are read. Nothing when the
// attribute is missing, unreadable or not a regular file (a FIFO planted in
// its place must not block discovery).
std::optional<std::string> ReadSysfsAttribute(const std::string& syspath, const std::string& name);

// A non-negative decimal number no larger than `maximum`, surrounding blanks
// allowed; nothing for anything else.
std::optional<int> ParseBoundedNumber(const std::string& text, int maximum);

}  // namespace vantrel
