#pragma once

#include <functional>

#include "platform/unique_fd.h"

namespace vantrel {

// The line the stand-in serves: a descriptor it reads and writes and, on a
// pseudo-terminal, a watch that wakes it when the tool opens the far end.
class BoxLine {
  public:
    // `beforeClose` runs once, on the open descriptor, before it is closed.
    BoxLine(UniqueFd fd, UniqueFd openWatch, std::function<void(int fd)> beforeClose = {});
    BoxLine(BoxLine&&) = default;
    BoxLine& operator=(BoxLine&&) = delete;
    ~BoxLine();

    int Fd() const { return m_fd.Get(); }
    int OpenWatch() const { return m_openWatch.Get(); }
    bool HasOpenWatch() const { return m_openWatch.IsValid(); }
    bool IsOpen() const { return m_fd.IsValid(); }

    // Empties the watch; true when it reported an open of the far end.
    bool DrainOpenWatch();
    // False while no one holds the far end of a pseudo-terminal open.
    bool FarEndOpen() const;
    void Close();

  private:
    UniqueFd m_fd;
    UniqueFd m_openWatch;
    std::function<void(int fd)> m_beforeClose;
};

}  // namespace vantrel
