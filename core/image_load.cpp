#include "core/image_load.h"

#include <span>

#include "engine/image_digest.h"
#include "engine/image_file.h"

namespace vantrel {
namespace {

using Cause = port_event::StartRefused::Cause;

port_event::StartRefused Refusal(Cause cause, std::string reason, std::string alert = {}) {
    return {cause, std::move(reason), std::move(alert)};
}

// Why the loaded bytes may not be sent; empty when they may.
std::string RefusalOfBytes(std::span<const std::uint8_t> image, std::int32_t kind,
                           const std::string& sha256,
                           const std::optional<std::string>& pinnedSha256) {
    const ImageCheck check = InspectImageBytes(image, kind);
    if (check.kind == kImageNone) {
        return check.error;
    }
    if (pinnedSha256 && sha256 != *pinnedSha256) {
        return "The image changed since it was pinned: SHA-256 " + ShortDigest(sha256) +
               " instead of " + ShortDigest(*pinnedSha256);
    }
    return {};
}

}  // namespace

ImageChoice ImageChoice::Of(std::string path, std::int32_t kind) {
    const ImageKindInfo* info = FindImageKind(kind);
    return {info != nullptr ? std::string(info->destAddress) : std::string(), std::move(path),
            kind};
}

ImageLoad LoadChosenImage(ModuleSlots& slots, const ImageChoice& image,
                          const std::optional<std::string>& pinnedSha256) {
    ImageLoad load;
    switch (slots.LoadImageIntoSlot(image.destAddress, image.path, image.kind)) {
        case LoadResult::kLoaded:
            break;
        case LoadResult::kMissingText:
            load.refusal = Refusal(Cause::kNoImage, "no image is chosen");
            return load;
        case LoadResult::kCannotOpen:
            load.refusal =
                Refusal(Cause::kImageMissing, "the image " + image.path + " cannot be read",
                        CannotFindMessage(image.path));
            return load;
        case LoadResult::kNoMemory:
            load.refusal =
                Refusal(Cause::kNoImage, "the image " + image.path + " does not fit in memory");
            return load;
    }
    const ModuleSlot& slot = slots[0];
    const std::span<const std::uint8_t> bytes(slot.data.data(), slot.imageLength);
    load.sha256 = Sha256Hex(bytes);
    std::string refusal = RefusalOfBytes(bytes, image.kind, *load.sha256, pinnedSha256);
    if (!refusal.empty()) {
        // Refused as a failed Open is: nothing loaded.
        slots.ClearSlots();
        load.refusal = Refusal(Cause::kImageRefused,
                               "the image " + image.path + " was refused: " + refusal, refusal);
    }
    return load;
}

}  // namespace vantrel
