#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace vantrel::test {

// A vantrel-boxsim in a process of its own, run as `argv`, and the pty it
// serves (the first line it prints).
struct BoxProcess {
    explicit BoxProcess(const std::vector<std::string>& argv);

    std::unique_ptr<ChildProcess> process;
    std::string path;
};

}  // namespace vantrel::test
