#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// "2026-12-09T05:00:00.123456Z": UTC to the microsecond, a fixed width so
// that texts sort as the times do.
std::string UtcTimeText(std::chrono::system_clock::time_point time);

// "2026-12-09T05:00:00Z": UTC to the second, for people reading a log.
std::string UtcSecondsText(std::chrono::system_clock::time_point time);

// A UTC date ("2026-12-09", its midnight) or date and time
// ("2026-12-09T05:00Z", "2026-12-09T05:00:00Z", with up to nine digits of
// fraction); nothing for any other text or an impossible date.
std::optional<std::chrono::system_clock::time_point> ParseUtcTime(std::string_view text);

}  // namespace vantrel
