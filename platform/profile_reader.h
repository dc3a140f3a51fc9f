#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel {

// Reads one value from a profile file ("[section]" headers, "key=value"
// lines, ';' comments). Section and key names compare without regard to
// case and surrounding blanks; the value loses its surrounding blanks and
// one pair of matching quotes. The value is cut to capacity - 1 characters,
// as into a zero-terminated buffer of that capacity. A missing file, section
// or key gives `fallback`, cut the same way.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback,
                              std::size_t capacity);

}  // namespace vantrel
