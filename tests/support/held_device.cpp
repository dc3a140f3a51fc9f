#include "tests/support/held_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace vantrel::test {

HeldDevice::HeldDevice(const std::string& path, Lock lock) {
    // Close-on-exec, so a program another test spawns meanwhile cannot keep
    // the release pipe open and the child waiting.
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create a pipe");
    }
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        throw std::runtime_error("cannot create a pipe");
    }
    // Only async-signal-safe calls happen between fork() and _exit(): another
    // thread may hold a lock, the allocator's for one, the child would wait
    // on forever. So whatever the child needs is ready beforehand.
    const char* const device = path.c_str();
    const bool exclusive = lock == Lock::kExclusive;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(ready[0]);
        ::close(release[1]);  // or the read below never sees the parent let go
        const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool held = fd >= 0 && (!exclusive || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        const char answer = held ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &answer, 1);
        char ignored;
        [[maybe_unused]] auto got = ::read(release[0], &ignored, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    if (m_pid < 0) {
        ::close(ready[0]);
        ::close(release[1]);
        throw std::runtime_error("cannot fork");
    }
    m_releaseFd = release[1];
    char answer = 0;
    ssize_t got;
    do {
        got = ::read(ready[0], &answer, 1);
    } while (got < 0 && errno == EINTR);
    ::close(ready[0]);
    m_held = got == 1 && answer == 'y';
}

HeldDevice::~HeldDevice() {
    Release();
}

bool HeldDevice::Release() {
    if (m_released) {
        return m_reaped;
    }
    m_released = true;
    ::close(m_releaseFd);
    m_releaseFd = -1;
    pid_t reaped;
    do {
        reaped = ::waitpid(m_pid, nullptr, 0);
    } while (reaped < 0 && errno == EINTR);
    m_reaped = reaped == m_pid;
    return m_reaped;
}

}  // namespace vantrel::test
