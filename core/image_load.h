#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/port_event.h"
#include "engine/module_slots.h"

namespace vantrel {

// The image a Start sends: the window's "Dest address" and "filename" boxes
// and the kind its Open accepted (0 when none was).
struct ImageChoice {
    std::string destAddress;
    std::string path;
    std::int32_t kind = 0;

    // An image of `kind` (one that passed the Open's checks) at `path`.
    static ImageChoice Of(std::string path, std::int32_t kind);
};

// What the image load at Start found: the SHA-256 of the bytes it read, and
// why they may not be sent (nothing when they may).
struct ImageLoad {
    std::optional<std::string> sha256;
    std::optional<port_event::StartRefused> refusal;
};

// Reads the chosen file into the first slot and keeps it there only when
// its bytes pass the Open's checks again (and match `pinnedSha256`, when
// given): what is sent is what was checked. A refused image leaves the
// slots empty.
ImageLoad LoadChosenImage(ModuleSlots& slots, const ImageChoice& image,
                          const std::optional<std::string>& pinnedSha256);

}  // namespace vantrel
