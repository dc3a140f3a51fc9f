#pragma once

#include <string>

namespace vantrel {

// printf-style text for one report line, checked by the compiler.
std::string FormatLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vantrel
