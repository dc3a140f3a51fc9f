#include "station/window_launch.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vantrel {

std::optional<std::string> FindStationWindowProgram(const std::string& executable) {
    const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
    for (const std::filesystem::path& candidate :
         {folder / "vantrel-station-window",
          folder / ".." / "libexec" / "vantrel" / "vantrel-station-window"}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.lexically_normal().string();
        }
    }
    return std::nullopt;
}

std::string ExecStationWindow(const std::string& program, char** argv) {
    ::execv(program.c_str(), argv);
    return program + ": " + std::strerror(errno);
}

}  // namespace vantrel
