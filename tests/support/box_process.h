#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {

// A vantrel-boxsim in a process of its own, run as `argv` with a --link in
// a folder of its own, and that link to the pty it serves (the first line
// it prints).
struct BoxProcess {
    explicit BoxProcess(std::vector<std::string> argv);

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<ChildProcess> process;
    std::string path;
};

}  // namespace vantrel::test
