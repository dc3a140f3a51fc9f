#include "serial/timed_write.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/poll_deadline.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

WriteResult WriteWithin(int device, int stop, std::span<const std::uint8_t> data,
                        std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    WriteResult result;
    while (result.written < data.size()) {
        const ssize_t n =
            ::write(device, data.data() + result.written, data.size() - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return {WriteOutcome::kDeviceError, result.written, errno};
        }
        const int timeout = PollTimeout(deadline, Clock::now());
        if (timeout == 0) {
            result.outcome = WriteOutcome::kTimedOut;
            return result;
        }
        pollfd watched[2] = {{device, POLLOUT, 0}, {stop, POLLIN, 0}};
        const int ready = ::poll(watched, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            return {WriteOutcome::kDeviceError, result.written, errno};
        }
        if (watched[1].revents != 0) {
            result.outcome = WriteOutcome::kStopped;
            return result;
        }
        if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return {WriteOutcome::kDeviceError, result.written, EIO};
        }
    }
    return result;
}

bool WaitForOutputDrained(int device, std::chrono::milliseconds limit) {
    // The driver signals no event when its queue empties, and tcdrain() can
    // wait without end: look at the queue every few milliseconds instead.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int queued = 0;
        if (::ioctl(device, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace vantrel
