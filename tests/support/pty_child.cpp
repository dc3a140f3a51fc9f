#include "tests/support/pty_child.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace vantrel::test {

PtyChild::PtyChild(const std::vector<std::string>& argv, unsigned short columns,
                   unsigned short rows) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    winsize size{};
    size.ws_col = columns;
    size.ws_row = rows;
    m_pid = ::forkpty(&m_master, nullptr, nullptr, &size);
    if (m_pid < 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    if (m_pid == 0) {
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

PtyChild::~PtyChild() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    ::close(m_master);
}

bool PtyChild::ReadSome(std::chrono::milliseconds limit) {
    pollfd ready{m_master, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(limit.count())) <= 0) {
        return true;
    }
    char buffer[4096];
    const ssize_t got = ::read(m_master, buffer, sizeof buffer);
    // A pty's master reads EIO once the last holder of its far end is gone.
    if (got <= 0) {
        return false;
    }
    m_output.append(buffer, static_cast<std::size_t>(got));
    return true;
}

bool PtyChild::ReadUntil(const std::function<bool(const std::string&)>& done,
                         std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done(m_output)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(std::min(left, std::chrono::milliseconds(50)))) {
            return done(m_output);
        }
    }
    return true;
}

void PtyChild::Signal(int signal) {
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

void PtyChild::Resize(unsigned short columns, unsigned short rows) {
    winsize size{};
    size.ws_col = columns;
    size.ws_row = rows;
    ::ioctl(m_master, TIOCSWINSZ, &size);
    Signal(SIGWINCH);
}

std::optional<int> PtyChild::Wait(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        ReadSome(std::chrono::milliseconds(20));
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            // What it wrote last is still in the pty, up to its end.
            for (int round = 0; round < 100 && ReadSome(std::chrono::milliseconds(20)); ++round) {
            }
            return WIFEXITED(status) ? std::optional(WEXITSTATUS(status)) : std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace vantrel::test
