#include "tests/packaging/help_options.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace vantrel::test {
namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

// "-h", "--help", "--record" from "--record[=URL]" or "--record=URL"; empty
// when the word is no option.
std::string OptionName(std::string_view word) {
    if (word.size() < 2 || word[0] != '-') {
        return {};
    }
    const std::size_t dashes = word[1] == '-' ? 2 : 1;
    std::size_t end = dashes;
    while (end < word.size() && IsNameChar(word[end])) {
        ++end;
    }
    if (end == dashes || !std::isalnum(static_cast<unsigned char>(word[dashes]))) {
        return {};
    }
    if (end < word.size() && word[end] != '=' && word[end] != '[' && word[end] != ']' &&
        word[end] != ',' && word[end] != '|') {
        return {};
    }
    return std::string(word.substr(0, end));
}

std::vector<std::string_view> Words(std::string_view line, std::string_view separators) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(separators, at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(separators, start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

bool StartsUsage(std::string_view line) {
    constexpr std::string_view kUsage = "usage:";
    if (line.size() < kUsage.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kUsage.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != kUsage[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::set<std::string> HelpOptions(std::string_view helpText) {
    std::set<std::string> options;
    std::istringstream lines{std::string(helpText)};
    std::string line;
    bool inUsage = false;
    while (std::getline(lines, line)) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) {
            inUsage = false;
            continue;
        }
        inUsage = StartsUsage(line) || (inUsage && first > 0);
        if (inUsage) {
            // Every word that is an option, also inside [ ] and ( ) or
            // after a |.
            for (std::string_view word : Words(line, " \t[]()|")) {
                if (std::string name = OptionName(word); !name.empty()) {
                    options.insert(std::move(name));
                }
            }
        } else if (line[first] == '-') {
            // The names before the first word that is not one, such as a
            // value's placeholder or the description.
            for (std::string_view word : Words(std::string_view(line).substr(first), " \t,")) {
                std::string name = OptionName(word);
                if (name.empty()) {
                    break;
                }
                options.insert(std::move(name));
            }
        }
    }
    return options;
}

}  // namespace vantrel::test
