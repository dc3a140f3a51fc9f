#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// A copy of what the log pane was given since it was last cleared, for a
// unit's record: within a bound its beginning and its end, where a failure
// is told, with a line saying how much was left out between them; and the
// last whole line on its own (why a port failed, in a row or a result).
class KeptLog {
  public:
    // Half for the beginning, half for the end.
    static constexpr std::size_t kCapacity = 1 << 20;

    void Append(std::string_view text);
    void Clear();

    std::string Text() const;

  private:
    static constexpr std::size_t kHalf = kCapacity / 2;

    std::string m_head;
    // The latest text, trimmed back to kHalf whenever it reaches twice that.
    std::string m_tail;
    std::size_t m_dropped = 0;  // bytes between the head and the tail
};

}  // namespace vantrel
