#include "tests/support/wait_until.h"

namespace vantrel::test {

bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        step();
    }
    return true;
}

}  // namespace vantrel::test
