#include "tests/support/terminal_screen.h"

#include <cctype>
#include <cstdlib>

namespace vantrel::test {

void TerminalScreen::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (!m_escape.empty()) {
            m_escape += c;
            const bool csi = m_escape.size() >= 2 && m_escape[1] == '[';
            if (m_escape.size() == 2 && !csi) {
                m_escape.clear();  // a two-byte sequence: nothing a dashboard uses
            } else if (csi && m_escape.size() > 2 && std::isalpha(static_cast<unsigned char>(c))) {
                const std::string digits = m_escape.substr(2, m_escape.size() - 3);
                Control(c, digits.empty() ? 1 : std::atoi(digits.c_str()));
                m_escape.clear();
            }
            continue;
        }
        switch (c) {
            case '\x1b':
                m_escape = c;
                break;
            case '\r':
                m_column = 0;
                break;
            case '\n':
                ++m_row;
                if (m_row == m_lines.size()) {
                    m_lines.emplace_back();
                }
                break;
            default:
                Put(c);
        }
    }
}

void TerminalScreen::Put(char c) {
    std::string& line = m_lines[m_row];
    if (line.size() <= m_column) {
        line.resize(m_column + 1, ' ');
    }
    line[m_column++] = c;
}

void TerminalScreen::Control(char final, int count) {
    if (final == 'A') {
        m_row -= std::min<std::size_t>(m_row, static_cast<std::size_t>(count));
    } else if (final == 'H') {
        m_row = 0;  // the dashboard only ever homes the cursor
        m_column = 0;
    } else if (final == 'J' && count == 2) {
        m_lines.assign(m_lines.size(), std::string());
    } else if (final == 'K') {
        // 2K erases the whole line, any other K from the cursor on.
        std::string& line = m_lines[m_row];
        line = count == 2 ? std::string() : line.substr(0, std::min(line.size(), m_column));
    }
}

std::vector<std::string> TerminalScreen::Lines() const {
    std::vector<std::string> lines;
    for (std::string line : m_lines) {
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

std::string TerminalScreen::Text() const {
    std::string text;
    for (const std::string& line : Lines()) {
        text += line + "\n";
    }
    return text;
}

}  // namespace vantrel::test
