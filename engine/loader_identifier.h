#pragma once

#include <array>
#include <cstdint>

#include "platform/ini_file.h"
#include "protocol/frame_codec.h"

namespace vantrel {

// Fills the handshake's loader identifier: the "Version" value of section
// "LOADER VERSION" (at most 31 characters), then "KOSMA_QRN" and its NUL
// over the first ten bytes, so only a value's characters from the eleventh on
// reach the wire behind the fixed identifier.
void FillLoaderId(const CIniFile& settings,
                  std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId);

}  // namespace vantrel
