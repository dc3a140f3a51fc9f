#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/updater_view.h"

namespace vantrel {

// The window's controls for one port of a station, kept rather than drawn:
// the window's logic reads back what it set. The file-open dialog answers
// with the station's image; message boxes and the log are dropped, since
// nobody is at a station's window, and the unit layer keeps each unit's
// log and hears what went wrong. Used on its port's UI thread only.
class StationView : public UpdaterView {
  public:
    explicit StationView(std::string image);

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override;
    void Enable(int, bool) override {}
    void AddComboEntry(int id, std::string_view text) override;
    void SetComboSelection(int id, int index) override;
    int ComboSelection(int id) override;
    void SetComboEntryTooltip(int, int, std::string_view) override {}
    void AppendLog(std::string_view) override {}
    void ClearLog() override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
    std::optional<std::string> ChooseFileToOpen(std::span<const FileFilter> filters) override;
    void RunPortConfigurationDialog() override {}
    void RunAboutBox() override {}

  private:
    std::string m_image;
    std::map<int, std::string> m_texts;
    std::map<int, std::vector<std::string>> m_comboEntries;
    std::map<int, int> m_comboSelection;
};

}  // namespace vantrel
