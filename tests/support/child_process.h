#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::test {

// A program run as a child process with its output streams on pipes, read
// as the child writes them.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads standard output until a line equal to `line` has arrived; false
    // when the child ended or `limit` passed first.
    bool WaitForLine(const std::string& line, std::chrono::milliseconds limit);
    // Reads the output streams until `done` holds; false when `limit` passed
    // first.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
    void Signal(int signal);
    // Stops reading standard output and closes it, as a reader that has
    // seen enough (`| head`) does: the child's next write fails.
    void CloseOut();
    // The exit status, once the child has ended within `limit` (it is
    // killed otherwise and nothing is returned). Collects all output.
    std::optional<int> Wait(std::chrono::milliseconds limit);

    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }

  private:
    // Reads what is ready on both pipes, waiting at most `limit`; false when
    // both are at their end.
    bool ReadSome(std::chrono::milliseconds limit);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    std::string m_out;
    std::string m_err;
    std::size_t m_scanned = 0;
};

}  // namespace vantrel::test
