#include "station/readback_naming.h"

#include <time.h>

#include <cctype>
#include <cstdio>

namespace vantrel {

std::string CompactUtcTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &utc);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
    return std::string(text) + fraction;
}

std::string ReadbackFileName(std::string_view label, std::chrono::system_clock::time_point start) {
    std::string name;
    for (const char c : label) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (plain) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return (name.empty() ? "port" : name) + "-" + CompactUtcTime(start) + ".bin";
}

}  // namespace vantrel
