#include "serial/line_wait.h"

#include <poll.h>

#include <cerrno>

namespace vantrel {

LineWaitResult WaitForLine(int device, int stop) {
    for (;;) {
        pollfd watched[2] = {{device, POLLIN, 0}, {stop, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {LineWait::kFailed, errno};
        }
        if (watched[1].revents != 0) {
            return {LineWait::kStopped};
        }
        if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return {LineWait::kHungUp};
        }
        return {LineWait::kReadable};
    }
}

}  // namespace vantrel
