#include "tests/support/recording_view.h"

#include "ui/control_ids.h"

namespace vantrel::test {

void RecordingView::SetText(int id, std::string_view text) {
    texts[id] = text;
    if (id == kIdStatusLine) {
        statusHistory.emplace_back(text);
    }
}

std::optional<std::string> RecordingView::ChooseFileToOpen(std::span<const FileFilter> filters) {
    lastFilters.assign(filters.begin(), filters.end());
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

}  // namespace vantrel::test
