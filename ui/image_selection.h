#pragma once

#include <cstdint>
#include <span>

#include "core/image_load.h"
#include "ui/updater_view.h"

namespace vantrel {

// What the image Open button's file dialog offers.
std::span<const FileFilter> ImageFileFilters();

// The image Open button and what it leaves for Start: the window's chosen
// image kind, shown through the "Dest address" and "filename" boxes.
class ImageSelection {
  public:
    explicit ImageSelection(UpdaterView& view) : m_view(view) {}

    // Handler of the image Open button.
    void OnOpenImage();
    // What Start loads: the boxes as they read now, and the kind accepted.
    ImageChoice Choice() const;
    // After Start refused the file's bytes: Start refuses until an image is
    // accepted again, as after a failed Open.
    void Forget() { m_imageKind = 0; }

    // Kind of the file last accepted, 0 when none (or after a failed Open).
    std::int32_t ImageKind() const { return m_imageKind; }

  private:
    UpdaterView& m_view;
    std::int32_t m_imageKind = 0;
};

}  // namespace vantrel
