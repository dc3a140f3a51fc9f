#pragma once

#include <optional>
#include <string>
#include <variant>

#include "records/record_target.h"

namespace vantrel {

class CIniFile;

// Where the window records its units, from the settings file's [RECORDS]
// section: Record= takes what --record takes (a path, sqlite:PATH or a
// postgresql:// URL), a relative path being one beside the settings file,
// or "off". Missing or empty: `defaultFile`. Nothing when recording is off;
// the error text names the setting and the file.
std::variant<std::optional<RecordTarget>, std::string> ReadRecordSetting(
    const CIniFile& settings, const std::string& defaultFile);

}  // namespace vantrel
