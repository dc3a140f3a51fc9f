#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/unit_record.h"

namespace vantrel {

// The most a unit's log keeps, and the most any other text field keeps.
inline constexpr std::size_t kLogTextCap = 256 * 1024;
inline constexpr std::size_t kFieldTextCap = 4 * 1024;

// `raw` as text every store, terminal and export takes: valid UTF-8 with no
// control characters but \n, \r and \t. Each byte that is not part of a
// valid UTF-8 character, and each control character (C0, DEL, C1), becomes
// \xNN. A result longer than `cap` bytes keeps its beginning and its end
// around a line saying how many bytes of `raw` were cut, and never splits a
// character or an escape.
std::string SafeText(std::string_view raw, std::size_t cap);

// `record` with every text field made safe: the log bounded by kLogTextCap,
// the rest by kFieldTextCap.
UnitRecord SafeRecord(UnitRecord record);

}  // namespace vantrel
