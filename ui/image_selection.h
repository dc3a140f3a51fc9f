#pragma once

#include <cstdint>
#include <string>

#include "engine/module_slots.h"
#include "ui/updater_view.h"

namespace vantrel {

// The image Open button and the loading of the chosen image at Start: the
// window's chosen image kind, shown through the "Dest address" and
// "filename" boxes.
class ImageSelection {
  public:
    // `applicationName` captions the box of an image that vanished before Start.
    ImageSelection(UpdaterView& view, ModuleSlots& slots, std::string applicationName);

    // Handler of the image Open button.
    void OnOpenImage();
    // Reads the file named in the "filename" box into the first slot.
    void LoadImageIntoSlot();

    // Kind of the file last accepted, 0 when none (or after a failed Open).
    std::int32_t ImageKind() const { return m_imageKind; }

  private:
    UpdaterView& m_view;
    ModuleSlots& m_slots;
    std::string m_applicationName;
    std::int32_t m_imageKind = 0;
};

}  // namespace vantrel
