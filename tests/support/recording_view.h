#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/updater_view.h"

namespace vantrel::test {

// An UpdaterView that keeps what the window logic did to it and answers the
// file dialog from a script.
class RecordingView : public UpdaterView {
  public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override { return texts[id]; }
    void Enable(int id, bool enable) override { enabled[id] = enable; }

    void AddComboEntry(int id, std::string_view text) override {
        comboEntries[id].emplace_back(text);
    }
    void SetComboSelection(int id, int index) override { comboSelection[id] = index; }
    int ComboSelection(int id) override {
        const auto found = comboSelection.find(id);
        return found == comboSelection.end() ? -1 : found->second;
    }
    void SetComboEntryTooltip(int id, int index, std::string_view text) override {
        comboTooltips[id][index] = text;
    }

    void AppendLog(std::string_view text) override { log += text; }
    void ClearLog() override { log.clear(); }
    void ShowHint(std::string_view text) override { hints.emplace_back(text); }

    void SetProgressRange(int lower, int upper) override { progressRange = {lower, upper}; }
    void SetProgressPos(int position) override { progressPos = position; }

    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), icon});
    }
    std::optional<std::string> ChooseFileToOpen(std::span<const FileFilter> filters) override;
    void RunPortConfigurationDialog() override { ++configurationRuns; }
    void RunAboutBox() override { ++aboutRuns; }

    std::map<int, std::string> texts;
    std::vector<std::string> statusHistory;  // every text the status line was given
    std::map<int, bool> enabled;
    std::map<int, std::vector<std::string>> comboEntries;
    std::map<int, int> comboSelection;
    std::map<int, std::map<int, std::string>> comboTooltips;
    std::string log;
    std::vector<std::string> hints;
    std::pair<int, int> progressRange{0, 0};
    int progressPos = 0;
    std::vector<Message> messages;
    int configurationRuns = 0;
    int aboutRuns = 0;

    // Answers of the file dialog, one per call; an empty queue cancels.
    std::deque<std::optional<std::string>> fileAnswers;
    // Filters the file dialog was last shown with.
    std::vector<FileFilter> lastFilters;
};

}  // namespace vantrel::test
