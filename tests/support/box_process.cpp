#include "tests/support/box_process.h"

#include <gtest/gtest.h>

namespace vantrel::test {

using namespace std::chrono_literals;

BoxProcess::BoxProcess(std::vector<std::string> argv) : dir(std::make_unique<TempDir>()) {
    argv.insert(argv.begin() + 1, {"--link", dir->File("box")});
    process = std::make_unique<ChildProcess>(argv);
    EXPECT_TRUE(
        process->WaitFor([this] { return process->Out().find('\n') != std::string::npos; }, 10s))
        << process->Err();
    path = process->Out().substr(0, process->Out().find('\n'));
}

}  // namespace vantrel::test
