#include "boxsim/format_line.h"

#include <cstdarg>
#include <cstdio>

namespace vantrel {

std::string FormatLine(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    return line;
}

}  // namespace vantrel
