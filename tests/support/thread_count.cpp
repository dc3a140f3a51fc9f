#include "tests/support/thread_count.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace vantrel::test {
namespace {

// The kernel's PF_EXITING: set as a thread begins to exit, before a join of
// it returns, while its /proc entry may still be there for a moment.
constexpr unsigned long kExiting = 0x4;

// Whether the task's /proc stat says it is exiting (or it is gone already).
bool IsExiting(const std::filesystem::path& task) {
    std::ifstream file(task / "stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
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
