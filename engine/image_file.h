#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/read_only_file.h"
#include "protocol/image_kind.h"

namespace vantrel {

// What an image file of a kind looks like and where it goes.
struct ImageKindInfo {
    std::int32_t kind;            // kImageLoad, kImageAppl or kImageLdap
    std::string_view headerText;  // bytes 12 to 15 of the header
    std::int64_t requiredSize;    // the one file size the kind accepts
    std::string_view destAddress;
    std::string_view sizeLabel;  // names the kind in its size message; not its module tag
};

// The kind's entry, or nullptr for a kind that does not exist.
const ImageKindInfo* FindImageKind(std::int32_t kind);

// Kind 1 to 3 from the file's 16-byte header, 0 when the header is not one
// of ours. Reads from the start; a file shorter than the header gives 0.
std::int32_t CheckImageFile(ReadOnlyFile& file);

// Size of the file in bytes, leaving the position at its end.
std::int64_t ImageFileSize(ReadOnlyFile& file);

// Result of the checks the image Open button makes: the kind of an accepted
// file, or kind 0 and the one message that tells the operator why not.
struct ImageCheck {
    std::int32_t kind = kImageNone;
    std::string error;
    // What an image must be, said beside the message for an operator who
    // has no window to compare with: "a LOAD image is 66,560 bytes; this
    // file has 1,000".
    std::string expected;
};

// Checks in the order open, header, size; the first failure decides.
ImageCheck InspectImageFile(const std::string& path);

// The same checks on the bytes loaded at Start, which must still be an
// image of the kind the operator opened: a file replaced since is refused
// with the message its Open would have given ("file type error [2] " for
// an image of another kind).
ImageCheck InspectImageBytes(std::span<const std::uint8_t> image, std::int32_t expectedKind);

// Message for an image that cannot be read when Start loads it.
std::string CannotFindMessage(std::string_view fileName);

}  // namespace vantrel
