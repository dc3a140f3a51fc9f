#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/module_slots.h"
#include "ui/updater_view.h"

namespace vantrel {

// What the image Open button's file dialog offers.
std::span<const FileFilter> ImageFileFilters();

// The image Open button and the loading of the chosen image at Start: the
// window's chosen image kind, shown through the "Dest address" and
// "filename" boxes.
class ImageSelection {
  public:
    // `applicationName` captions the box of an image that vanished before Start.
    ImageSelection(UpdaterView& view, ModuleSlots& slots, std::string applicationName);

    // Handler of the image Open button: why the chosen file was refused,
    // empty when it was taken or none was chosen.
    std::string OnOpenImage();
    // Reads the file named in the "filename" box into the first slot, and
    // keeps it there only when its bytes pass the Open's checks again (and
    // match the pinned digest, when one is pinned): what is sent is what was
    // checked. Why nothing was loaded, in words; empty when it was.
    std::string LoadImageIntoSlot();
    // The file the last Start read.
    const std::string& LoadedPath() const { return m_loadedPath; }

    // Kind of the file last accepted, 0 when none (or after a failed Open).
    std::int32_t ImageKind() const { return m_imageKind; }

    // From now on, Start takes only an image with this SHA-256.
    void PinSha256(std::string sha256) { m_pinnedSha256 = std::move(sha256); }
    // The SHA-256 of the bytes the last Start read, whether they were taken
    // or refused; nothing when nothing could be read.
    const std::optional<std::string>& LoadedSha256() const { return m_loadedSha256; }

  private:
    // Why the loaded bytes may not be sent; empty when they may.
    std::string RefusalOfLoadedBytes();

    UpdaterView& m_view;
    ModuleSlots& m_slots;
    std::string m_applicationName;
    std::int32_t m_imageKind = 0;
    std::optional<std::string> m_pinnedSha256;
    std::optional<std::string> m_loadedSha256;
    std::string m_loadedPath;
};

}  // namespace vantrel
