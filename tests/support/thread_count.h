#pragma once

#include <cstddef>

namespace vantrel::test {

// The threads this process has now, so a test can tell that one was
// started or joined; a joined thread still on its way out is not counted.
std::size_t ThreadCount();

}  // namespace vantrel::test
