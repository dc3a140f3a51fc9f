#include "core/image_check.h"

#include "cli/expected_sha256.h"
#include "engine/image_digest.h"
#include "engine/image_file.h"

namespace vantrel {

std::variant<CheckedImage, std::string> CheckImageFile(
    const std::string& path, const std::optional<std::string>& expectedSha256) {
    const ImageCheck check = InspectImageFile(path);
    if (check.kind == kImageNone) {
        // Beside the window's message, for an operator who has no window to
        // compare with.
        return check.error + (check.error.ends_with(' ') ? "(" : " (") + check.expected + ")";
    }
    auto digest = Sha256OfFile(path);
    if (!digest) {
        return "cannot read " + path;
    }
    if (expectedSha256) {
        if (std::string mismatch = Sha256Mismatch(path, *expectedSha256, *digest);
            !mismatch.empty()) {
            return mismatch;
        }
    }
    return CheckedImage{check.kind, std::move(*digest)};
}

}  // namespace vantrel
