#include "tests/support/recording_view.h"

namespace vantrel::test {

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
