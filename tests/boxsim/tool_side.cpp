#include "tests/boxsim/tool_side.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>

namespace vantrel::test {

ToolSide::ToolSide(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    termios settings{};
    if (m_fd.IsValid() && ::tcgetattr(m_fd.Get(), &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(m_fd.Get(), TCSANOW, &settings);
    }
}

void ToolSide::Send(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd.Get(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            continue;
        }
        pollfd entry{m_fd.Get(), POLLOUT, 0};
        if (::poll(&entry, 1, 3000) <= 0 || (entry.revents & (POLLHUP | POLLERR)) != 0) {
            return;
        }
    }
}

std::string ToolSide::Read(std::size_t count, std::chrono::milliseconds timeout) {
    std::string received;
    std::array<char, 4096> buffer;
    while (received.size() < count) {
        pollfd entry{m_fd.Get(), POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) {
            break;
        }
        const ssize_t got =
            ::read(m_fd.Get(), buffer.data(), std::min(buffer.size(), count - received.size()));
        if (got <= 0) {
            break;
        }
        received.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return received;
}

}  // namespace vantrel::test
