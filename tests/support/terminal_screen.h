#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::test {

// What a terminal shows after the bytes a program wrote to it: enough of a
// terminal for the sequences a dashboard draws with (carriage return, line
// feed, cursor up, erase line, cursor home, erase screen). Other escape
// sequences are dropped.
class TerminalScreen {
  public:
    void Feed(std::string_view bytes);
    // Every line that was written, without trailing blanks.
    std::vector<std::string> Lines() const;
    std::string Text() const;

  private:
    void Put(char c);
    void Control(char final, int count);

    std::vector<std::string> m_lines{1};
    std::size_t m_row = 0;
    std::size_t m_column = 0;
    std::string m_escape;  // an escape sequence not yet complete
};

}  // namespace vantrel::test
