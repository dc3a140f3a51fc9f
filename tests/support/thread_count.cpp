#include "tests/support/thread_count.h"

#include <filesystem>
#include <iterator>
#include <thread>

namespace vantrel::test {

std::size_t ThreadCount() {
    // ThreadSanitizer starts a thread of its own with the process's first
    // one; a thread made and joined before the first count keeps every
    // count comparable.
    static const bool primed = [] {
        std::thread([] {}).join();
        return true;
    }();
    static_cast<void>(primed);
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

}  // namespace vantrel::test
