#include "protocol/image_kind.h"

namespace vantrel {
namespace {

constexpr struct {
    std::int32_t kind;
    std::string_view tag;
} kKindTags[] = {
    {kImageLoad, "LD"},
    {kImageAppl, "SW"},
    {kImageLdap, "LA"},
};

}  // namespace

std::string_view TagOfKind(std::int32_t kind) {
    for (const auto& entry : kKindTags) {
        if (entry.kind == kind) {
            return entry.tag;
        }
    }
    return {};
}

std::int32_t KindOfTag(std::string_view tag) {
    for (const auto& entry : kKindTags) {
        if (entry.tag == tag) {
            return entry.kind;
        }
    }
    return kImageNone;
}

}  // namespace vantrel
