#include "records/record_time.h"

#include <cstdio>

namespace vantrel {
namespace {

using namespace std::chrono;

// Reads exactly `digits` decimal digits at `at`.
std::optional<int> ReadNumber(std::string_view text, std::size_t& at, std::size_t digits) {
    if (at + digits > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    at += digits;
    return value;
}

bool Take(std::string_view text, std::size_t& at, char expected) {
    if (at < text.size() && text[at] == expected) {
        ++at;
        return true;
    }
    return false;
}

}  // namespace

std::string UtcTimeText(system_clock::time_point time) {
    const auto micros = floor<microseconds>(time);
    const hh_mm_ss clock{micros - floor<days>(micros)};
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%06lld",
                  static_cast<long long>(clock.subseconds().count()));
    return UtcSecondsText(time).insert(19, fraction);
}

std::string UtcSecondsText(system_clock::time_point time) {
    const auto seconds = floor<std::chrono::seconds>(time);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss clock{seconds - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<system_clock::time_point> ParseUtcTime(std::string_view text) {
    std::size_t at = 0;
    const auto y = ReadNumber(text, at, 4);
    const bool dashes = y && Take(text, at, '-');
    const auto m = dashes ? ReadNumber(text, at, 2) : std::nullopt;
    const auto d = m && Take(text, at, '-') ? ReadNumber(text, at, 2) : std::nullopt;
    if (!d) {
        return std::nullopt;
    }
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*m)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    system_clock::time_point time = sys_days{date};
    if (at == text.size()) {
        return time;
    }
    if (!Take(text, at, 'T')) {
        return std::nullopt;
    }
    const auto h = ReadNumber(text, at, 2);
    const auto min = h && Take(text, at, ':') ? ReadNumber(text, at, 2) : std::nullopt;
    if (!min || *h > 23 || *min > 59) {
        return std::nullopt;
    }
    time += hours{*h} + minutes{*min};
    if (Take(text, at, ':')) {
        const auto s = ReadNumber(text, at, 2);
        if (!s || *s > 59) {
            return std::nullopt;
        }
        time += seconds{*s};
        if (Take(text, at, '.')) {
            nanoseconds fraction{0};
            long long scale = 100000000;
            std::size_t digits = 0;
            for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
                if (digits == 9) {
                    return std::nullopt;
                }
                fraction += nanoseconds{(text[at] - '0') * scale};
                scale /= 10;
            }
            if (digits == 0) {
                return std::nullopt;
            }
            time += duration_cast<system_clock::duration>(fraction);
        }
    }
    if (!Take(text, at, 'Z') || at != text.size()) {
        return std::nullopt;
    }
    return time;
}

}  // namespace vantrel
