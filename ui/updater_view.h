#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

enum class MessageIcon { kNone, kWarning };

// One entry of the file-open dialog's type list.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;  // e.g. "*.hex"
};

// What the toolkit-free window logic needs of its controls, addressed by
// control id. The desktop window, the terminal front end and the tests each
// implement it. Every call is made on the UI thread.
class UpdaterView {
  public:
    virtual void SetText(int id, std::string_view text) = 0;
    virtual std::string GetText(int id) = 0;
    virtual void Enable(int id, bool enabled) = 0;

    virtual void AddComboEntry(int id, std::string_view text) = 0;
    virtual void SetComboSelection(int id, int index) = 0;
    // Index of the selected entry, -1 when the text matches no entry.
    virtual int ComboSelection(int id) = 0;
    // The tooltip of one entry; a front end without tooltips ignores it.
    virtual void SetComboEntryTooltip(int id, int index, std::string_view text) = 0;

    // Appends at the end of the log pane, wherever the operator clicked.
    virtual void AppendLog(std::string_view text) = 0;
    virtual void ClearLog() = 0;
    // Advice the log has just been given, for a front end whose log is easy
    // to miss to show once more where the operator looks; one line without
    // a line end. By default the log is enough.
    virtual void ShowHint(std::string_view /*text*/) {}

    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int position) = 0;

    // A modal box with an OK button; returns when the operator closed it.
    virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // The file-open dialog for an existing file: the chosen full path, or
    // nothing when the operator cancelled.
    virtual std::optional<std::string> ChooseFileToOpen(std::span<const FileFilter> filters) = 0;

    // The modal port configuration dialog and About box; a front end
    // without them does nothing.
    virtual void RunPortConfigurationDialog() = 0;
    virtual void RunAboutBox() = 0;

  protected:
    ~UpdaterView() = default;
};

}  // namespace vantrel
