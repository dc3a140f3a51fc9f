#pragma once

#include <cstdint>
#include <string_view>

namespace vantrel {

// Image kinds, as the module header, a module slot and the window's chosen
// kind hold them.
inline constexpr std::int32_t kImageNone = 0;
inline constexpr std::int32_t kImageLoad = 1;
inline constexpr std::int32_t kImageAppl = 2;
inline constexpr std::int32_t kImageLdap = 3;

// The two letters that name a kind in the module header and on the status
// line; empty for a kind without a tag.
std::string_view TagOfKind(std::int32_t kind);

// The kind that `tag` names, kImageNone when it names none.
std::int32_t KindOfTag(std::string_view tag);

}  // namespace vantrel
