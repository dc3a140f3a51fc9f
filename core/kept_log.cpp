#include "core/kept_log.h"

#include <algorithm>

namespace vantrel {

void KeptLog::Append(std::string_view text) {
    const std::size_t room = kHalf - std::min(kHalf, m_head.size());
    m_head.append(text.substr(0, room));
    if (text.size() > room) {
        m_tail.append(text.substr(room));
        if (m_tail.size() >= 2 * kHalf) {
            const std::size_t cut = m_tail.size() - kHalf;
            m_tail.erase(0, cut);
            m_dropped += cut;
        }
    }
}

void KeptLog::Clear() {
    m_head.clear();
    m_tail.clear();
    m_dropped = 0;
}

std::string KeptLog::Text() const {
    if (m_tail.size() <= kHalf && m_dropped == 0) {
        return m_head + m_tail;
    }
    // Within the bound, the end of the tail: the text just before it is what
    // is left out.
    const std::size_t over = m_tail.size() > kHalf ? m_tail.size() - kHalf : 0;
    return m_head + "\r\n[" + std::to_string(m_dropped + over) +
           " bytes of log left out here]\r\n" + m_tail.substr(over);
}

}  // namespace vantrel
