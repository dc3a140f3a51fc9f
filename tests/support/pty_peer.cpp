#include "tests/support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <stdexcept>

#include "serial/device_name.h"
#include "tests/support/wait_until.h"

namespace vantrel::test {

PtyPeer::PtyPeer(int portNumber) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        throw std::runtime_error("cannot name the pseudo-terminal");
    }
    m_slavePath = name;
    MapPort(portNumber, m_slavePath);
}

PtyPeer::~PtyPeer() {
    Vanish();
}

bool PtyPeer::Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds limit) {
    bool failed = false;
    const auto writtenOrFailed = [&] {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
            if (n <= 0) {
                failed = n < 0 && errno != EAGAIN && errno != EINTR;
                return failed;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        }
        return true;
    };
    const auto waitForRoom = [this] {
        pollfd room{m_master, POLLOUT, 0};
        ::poll(&room, 1, 50);
    };
    return WaitUntil(writtenOrFailed, waitForRoom, limit) && !failed;
}

std::vector<std::uint8_t> PtyPeer::ReadAvailable() {
    std::vector<std::uint8_t> received;
    std::uint8_t buffer[4096];
    for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;) {
        received.insert(received.end(), buffer, buffer + n);
    }
    return received;
}

// On a pty master, tcgetattr reports the slave's settings.
termios PtyPeer::SlaveSettings() const {
    termios settings{};
    ::tcgetattr(m_master, &settings);
    return settings;
}

void PtyPeer::Vanish() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void MapPort(int portNumber, const std::string& device) {
    ::setenv(("VANTREL_" + ComPortName(portNumber)).c_str(), device.c_str(), 1);
}

std::vector<std::uint8_t> TestPattern(std::size_t count) {
    std::vector<std::uint8_t> pattern(count);
    std::minstd_rand random(20240601);
    for (auto& byte : pattern) {
        byte = static_cast<std::uint8_t>(random() >> 7);
    }
    return pattern;
}

}  // namespace vantrel::test
