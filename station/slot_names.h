#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station/station_options.h"

namespace vantrel {

class CIniFile;

// A slot's name is short text an operator can read off a bench.
inline constexpr std::size_t kMaxSlotNameCharacters = 32;

// What is wrong with `name` as a slot's name (empty, longer than
// kMaxSlotNameCharacters characters, not UTF-8, a control character or an
// '=' in it); empty when nothing is.
std::string CheckSlotName(std::string_view name);

// The [STATION] key that names the slot of `device`: "Slot /dev/ttyUSB0".
// The key ends at the line's first '=', so a device path with '/' and ':'
// makes a key as it is.
std::string SlotNameKey(std::string_view device);

// Names each port the command line left unnamed from the settings, by the
// device it opens now (`devices`, one per port) or, failing that, the
// device its links lead to; a named port's label becomes its name. Then
// checks every name and that no two slots share a label. Returns what is
// wrong, naming the setting or the name; nothing when all is well.
std::optional<std::string> NameSlots(std::vector<StationPortArg>& ports,
                                     const std::vector<std::string>& devices,
                                     const CIniFile& settings);

}  // namespace vantrel
