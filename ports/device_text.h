#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// The longest text kept from a device string; USB string descriptors hold at
// most 126 characters.
inline constexpr std::size_t kMaxDeviceTextBytes = 256;

// Device-supplied text made safe to show: valid UTF-8 sequences of printable
// characters are kept, every other byte (control characters, broken or
// overlong sequences) becomes '?'; surrounding blanks are trimmed and the
// result is cut at a character boundary to kMaxDeviceTextBytes.
std::string SanitizeDeviceText(std::string_view raw);

// Undoes udev's encoding of unsafe bytes as "\xNN" (the *_ENC properties).
std::string DecodeUdevEscapes(std::string_view encoded);

// A USB vendor or product id as four lower-case hex digits, empty when the
// text is not one.
std::string NormalizeUsbId(std::string_view raw);

}  // namespace vantrel
