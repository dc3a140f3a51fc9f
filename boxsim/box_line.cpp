#include "boxsim/box_line.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace vantrel {

BoxLine::BoxLine(UniqueFd fd, UniqueFd openWatch, std::function<void(int fd)> beforeClose)
    : m_fd(std::move(fd)),
      m_openWatch(std::move(openWatch)),
      m_beforeClose(std::move(beforeClose)) {}

BoxLine::~BoxLine() {
    Close();
}

bool BoxLine::DrainOpenWatch() {
    bool opened = false;
    alignas(inotify_event) std::array<char, 4096> events;
    while (true) {
        const ssize_t count = ::read(m_openWatch.Get(), events.data(), events.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return opened;
        }
        for (ssize_t offset = 0; offset < count;) {
            inotify_event event;
            std::memcpy(&event, events.data() + offset, sizeof event);
            opened = opened || (event.mask & IN_OPEN) != 0;
            offset += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

bool BoxLine::FarEndOpen() const {
    pollfd entry{m_fd.Get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
}

void BoxLine::Close() {
    if (m_fd.IsValid() && m_beforeClose) {
        m_beforeClose(m_fd.Get());
    }
    m_fd.Reset();
    m_openWatch.Reset();
}

}  // namespace vantrel
