#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// A copy of what the log pane was given since it was last cleared, for a
// unit's record: kept up to a bound, with a note of what did not fit, and
// the last whole line on its own (why a port failed, in a row or a result).
class KeptLog {
  public:
    static constexpr std::size_t kCapacity = 1 << 20;
    static constexpr std::size_t kLineCapacity = 1024;

    void Append(std::string_view text);
    void Clear();

    std::string Text() const;
    const std::string& LastLine() const { return m_lastLine; }

  private:
    std::string m_text;
    std::size_t m_dropped = 0;
    std::string m_lastLine;
    std::string m_partialLine;
};

}  // namespace vantrel
