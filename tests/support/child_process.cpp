#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "tests/support/wait_until.h"

namespace vantrel::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create pipes");
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    for (int fd : {m_outFd, m_errFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool ChildProcess::ReadSome(std::chrono::milliseconds limit) {
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    int* ends[2] = {&m_outFd, &m_errFd};
    std::string* sinks[2] = {&m_out, &m_err};
    if (m_outFd < 0 && m_errFd < 0) {
        return false;
    }
    if (::poll(fds, 2, static_cast<int>(limit.count())) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(*ends[i]);
                *ends[i] = -1;
            }
        }
    }
    return m_outFd >= 0 || m_errFd >= 0;
}

bool ChildProcess::WaitForLine(const std::string& line, std::chrono::milliseconds limit) {
    bool found = false;
    bool ended = false;
    const auto foundOrEnded = [&] {
        for (std::size_t end; !found && (end = m_out.find('\n', m_scanned)) != std::string::npos;) {
            found = m_out.compare(m_scanned, end - m_scanned, line) == 0;
            m_scanned = end + 1;
        }
        return found || ended;
    };
    const auto readSome = [&] { ended = !ReadSome(std::chrono::milliseconds(50)); };
    WaitUntil(foundOrEnded, readSome, limit);
    return found;
}

bool ChildProcess::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto readSome = [this] {
        // With both streams at their end, nothing more can arrive to wait on.
        if (!ReadSome(std::chrono::milliseconds(50))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };
    return WaitUntil(done, readSome, limit);
}

void ChildProcess::Signal(int signal) {
    ::kill(m_pid, signal);
}

void ChildProcess::CloseOut() {
    if (m_outFd >= 0) {
        ::close(m_outFd);
        m_outFd = -1;
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(m_pid, &status, WNOHANG) != 0; },
                   [this] { ReadSome(std::chrono::milliseconds(20)); }, limit)) {
        return std::nullopt;
    }
    m_pid = -1;
    // The child is gone: its pipes end as soon as what it wrote is read.
    while (ReadSome(std::chrono::milliseconds(1000))) {
    }
    return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::optional<int>(-1);
}

}  // namespace vantrel::test
