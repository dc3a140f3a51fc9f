#include "platform/poll_deadline.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr std::chrono::milliseconds kLongestWait = std::chrono::minutes(1);

}  // namespace

int PollTimeout(std::optional<std::chrono::steady_clock::time_point> deadline,
                std::chrono::steady_clock::time_point now) {
    if (!deadline) {
        return -1;
    }
    if (*deadline <= now) {
        return 0;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now);
    return static_cast<int>(std::min(wait, kLongestWait).count());
}

}  // namespace vantrel
