#include "ui/terminal/progress_meter.h"

#include <algorithm>
#include <cstdio>

#include "protocol/blocks.h"

namespace vantrel {
namespace {

constexpr int kBarWidth = 30;

std::string Duration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

void ProgressMeter::Start(int total, Clock::time_point now) {
    m_total = total;
    m_started = now;
}

std::optional<std::string> ProgressMeter::Line(int position, Clock::time_point now) const {
    if (m_total <= 0) {
        return std::nullopt;
    }
    position = std::clamp(position, 0, m_total);
    const int percent = position * 100 / m_total;
    const int filled = position * kBarWidth / m_total;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const double blockBytes = kBlockSize;
    const double bytesPerSecond = seconds > 0 ? position * blockBytes / seconds : 0;

    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%d/%d blocks %3d%% %7.1f kB/s", position, m_total,
                  percent, bytesPerSecond / 1000.0);
    line += numbers;
    if (position > 0 && bytesPerSecond > 0) {
        line += " " + Duration((m_total - position) * blockBytes / bytesPerSecond) + " left";
    }
    return line;
}

}  // namespace vantrel
