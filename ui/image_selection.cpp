#include "ui/image_selection.h"

#include "engine/image_digest.h"
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

ImageSelection::ImageSelection(UpdaterView& view, ModuleSlots& slots, std::string applicationName)
    : m_view(view), m_slots(slots), m_applicationName(std::move(applicationName)) {}

std::string ImageSelection::OnOpenImage() {
    // Cleared first, so a cancelled or failed choice leaves Start refusing
    // while the boxes still show the file accepted before.
    m_imageKind = kImageNone;
    const std::optional<std::string> path = m_view.ChooseFileToOpen(kImageFilters);
    if (!path) {
        return {};
    }
    const ImageCheck check = InspectImageFile(*path);
    if (check.kind == kImageNone) {
        m_view.ShowMessage(check.error, "Error", MessageIcon::kNone);
        return "the image " + *path + " was refused: " + check.error;
    }
    m_imageKind = check.kind;
    m_view.SetText(kIdDestAddress, FindImageKind(check.kind)->destAddress);
    m_view.Enable(kIdFileName, true);
    m_view.SetText(kIdFileName, *path);
    return {};
}

std::string ImageSelection::LoadImageIntoSlot() {
    m_loadedSha256.reset();
    m_loadedPath = m_view.GetText(kIdFileName);
    const LoadResult result =
        m_slots.LoadImageIntoSlot(m_view.GetText(kIdDestAddress), m_loadedPath, m_imageKind);
    switch (result) {
        case LoadResult::kLoaded:
            break;
        case LoadResult::kMissingText:
            return "no image is chosen";
        case LoadResult::kCannotOpen:
            m_view.ShowMessage(CannotFindMessage(m_loadedPath), m_applicationName,
                               MessageIcon::kWarning);
            return "the image " + m_loadedPath + " cannot be read";
        case LoadResult::kNoMemory:
            return "the image " + m_loadedPath + " does not fit in memory";
    }
    const std::string refusal = RefusalOfLoadedBytes();
    if (refusal.empty()) {
        return {};
    }
    // Refused as a failed Open is: nothing loaded, and Start refuses until
    // an image is accepted again.
    m_slots.ClearSlots();
    m_imageKind = kImageNone;
    m_view.ShowMessage(refusal, "Error", MessageIcon::kNone);
    return "the image " + m_loadedPath + " was refused: " + refusal;
}

std::string ImageSelection::RefusalOfLoadedBytes() {
    const ModuleSlot& slot = m_slots[0];
    const std::span<const std::uint8_t> image(slot.data.data(), slot.imageLength);
    m_loadedSha256 = Sha256Hex(image);
    const ImageCheck check = InspectImageBytes(image, m_imageKind);
    if (check.kind == kImageNone) {
        return check.error;
    }
    if (m_pinnedSha256 && *m_loadedSha256 != *m_pinnedSha256) {
        return "The image changed since it was pinned: SHA-256 " + ShortDigest(*m_loadedSha256) +
               " instead of " + ShortDigest(*m_pinnedSha256);
    }
    return {};
}

}  // namespace vantrel
