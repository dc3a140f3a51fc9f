#include "text/text_columns.h"

#include <algorithm>

namespace vantrel {
namespace {

std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::string FormatColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], Width(row[column]));
        }
    }
    std::string table;
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            table += row[column];
            if (column + 1 < row.size()) {
                table.append(widths[column] - Width(row[column]) + 2, ' ');
            }
        }
        table += '\n';
    }
    return table;
}

}  // namespace vantrel
