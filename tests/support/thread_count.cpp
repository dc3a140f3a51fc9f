#include "tests/support/thread_count.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

namespace vantrel::test {
namespace {

// The kernel's PF_EXITING: set as a thread begins to exit, before a join of
// it returns, while its /proc entry may still be there for a moment.
constexpr unsigned long kExiting = 0x4;

// The task's /proc stat, empty when the task is gone. Read with read(2):
// a thread that ends during the read fails it with ESRCH, which a file
// stream would throw as an exception.
std::string ReadStat(const std::filesystem::path& task) {
    const int fd = ::open((task / "stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string stat;
    char buffer[512];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        stat.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return stat;
}

// Whether the task's /proc stat says it is exiting (or it is gone already).
bool IsExiting(const std::filesystem::path& task) {
    const std::string stat = ReadStat(task);
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return true;
    }
    // After the name: state, ppid, pgrp, session, tty_nr, tpgid, flags.
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string skipped;
    for (int field = 0; field < 6; ++field) {
        fields >> skipped;
    }
    unsigned long flags = 0;
    return !(fields >> flags) || (flags & kExiting) != 0;
}

}  // namespace

std::size_t ThreadCount() {
    // ThreadSanitizer starts a thread of its own with the process's first
    // one; a thread made and joined before the first count keeps every
    // count comparable.
    static const bool primed = [] {
        std::thread([] {}).join();
        return true;
    }();
    static_cast<void>(primed);
    std::size_t count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        count += IsExiting(task.path()) ? 0 : 1;
    }
    return count;
}

}  // namespace vantrel::test
