#include "platform/stop_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vantrel {

UniqueFd CreateStopSignal() {
    return UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
}

void RaiseStopSignal(int signal) {
    const std::uint64_t one = 1;
    // Can only fail when the counter is about to overflow, and then it is raised already.
    [[maybe_unused]] const auto written = ::write(signal, &one, sizeof one);
}

}  // namespace vantrel
