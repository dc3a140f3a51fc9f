#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::test {

// A program run with a pseudo-terminal as its controlling terminal and
// standard streams, as from a terminal window of `columns` by `rows`.
class PtyChild {
  public:
    PtyChild(const std::vector<std::string>& argv, unsigned short columns, unsigned short rows);
    ~PtyChild();
    PtyChild(const PtyChild&) = delete;
    PtyChild& operator=(const PtyChild&) = delete;

    // Reads what the program writes until `done` holds for all of it so
    // far; false when the program ended or `limit` passed first.
    bool ReadUntil(const std::function<bool(const std::string&)>& done,
                   std::chrono::milliseconds limit);
    void Signal(int signal);
    // The terminal window resized: the pty takes the new size, and the
    // program is told with SIGWINCH.
    void Resize(unsigned short columns, unsigned short rows);
    // The exit status once the program has ended within `limit`, reading
    // its output meanwhile; it is killed otherwise and nothing is returned.
    std::optional<int> Wait(std::chrono::milliseconds limit);

    const std::string& Output() const { return m_output; }

  private:
    // Reads what is ready within `limit`; false at the end of the output.
    bool ReadSome(std::chrono::milliseconds limit);

    pid_t m_pid = -1;
    int m_master = -1;
    std::string m_output;
};

}  // namespace vantrel::test
