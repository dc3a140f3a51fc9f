#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

namespace vantrel::test {

// The tool's end of the line in the tests: the far end of the stand-in's
// pseudo-terminal, opened raw as the real tool opens it.
class ToolSide {
  public:
    explicit ToolSide(const std::string& path);
    // An end opened elsewhere, such as a pseudo-terminal's master.
    explicit ToolSide(UniqueFd fd) : m_fd(std::move(fd)) {}

    bool IsOpen() const { return m_fd.IsValid(); }
    void Send(std::span<const std::uint8_t> bytes);
    // Up to `count` bytes: fewer only when the line stayed quiet for
    // `timeout` or closed.
    std::string Read(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds{3000});
    void Close() { m_fd.Reset(); }

  private:
    UniqueFd m_fd;
};

}  // namespace vantrel::test
