#include "cli/program_version.h"

#include "vantrel/version_text.h"

namespace vantrel {

std::string_view VersionText() {
    return VANTREL_VERSION_TEXT;
}

std::string VersionLine(std::string_view program) {
    return std::string(program) + " " + std::string(VersionText());
}

}  // namespace vantrel
