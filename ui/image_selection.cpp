#include "ui/image_selection.h"

#include "engine/image_file.h"
#include "ui/control_ids.h"

namespace vantrel {
namespace {

const FileFilter kImageFilters[] = {
    {"Hex File(*.hex;*.bin)", {"*.hex", "*.bin"}},
    {"*.*", {"*"}},
};

}  // namespace

std::span<const FileFilter> ImageFileFilters() {
    return kImageFilters;
}

void ImageSelection::OnOpenImage() {
    // Cleared first, so a cancelled or failed choice leaves Start refusing
    // while the boxes still show the file accepted before.
    m_imageKind = kImageNone;
    const std::optional<std::string> path = m_view.ChooseFileToOpen(kImageFilters);
    if (!path) {
        return;
    }
    const ImageCheck check = InspectImageFile(*path);
    if (check.kind == kImageNone) {
        m_view.ShowMessage(check.error, "Error", MessageIcon::kNone);
        return;
    }
    m_imageKind = check.kind;
    m_view.SetText(kIdDestAddress, FindImageKind(check.kind)->destAddress);
    m_view.Enable(kIdFileName, true);
    m_view.SetText(kIdFileName, *path);
}

ImageChoice ImageSelection::Choice() const {
    return {m_view.GetText(kIdDestAddress), m_view.GetText(kIdFileName), m_imageKind};
}

}  // namespace vantrel
