#include "ui/kept_log.h"

#include <algorithm>
#include <utility>

namespace vantrel {

void KeptLog::Append(std::string_view text) {
    const std::size_t room = kCapacity - std::min(kCapacity, m_text.size());
    m_text.append(text.substr(0, room));
    m_dropped += text.size() - std::min(room, text.size());
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            if (!m_partialLine.empty()) {
                m_lastLine = std::exchange(m_partialLine, {});
            }
        } else if (m_partialLine.size() < kLineCapacity) {
            m_partialLine += c;
        }
    }
}

void KeptLog::Clear() {
    m_text.clear();
    m_dropped = 0;
    m_partialLine.clear();
}

std::string KeptLog::Text() const {
    if (m_dropped == 0) {
        return m_text;
    }
    return m_text + "\r\n[" + std::to_string(m_dropped) + " more bytes of log were not kept]\r\n";
}

}  // namespace vantrel
