#include "platform/settings_lookup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/executable_path.h"
#include "platform/ini_file.h"

namespace vantrel {
namespace {

constexpr const char* kFileName = "Vantrel.ini";

std::optional<std::string> AbsoluteVariable(const EnvironmentLookup& environment,
                                            const char* name) {
    auto value = environment(name);
    // A relative one would depend on the working directory: as if unset.
    if (!value || value->empty() || value->front() != '/') {
        return std::nullopt;
    }
    return value;
}

// A file that opens for reading: a directory of that name, or one the user
// may not read, is no settings file.
bool RegularFileReadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    return regular;
}

}  // namespace

SettingsLookup LookUpSettingsFile(std::string_view executableDirectory,
                                  const EnvironmentLookup& environment,
                                  const FileReadable& readable) {
    SettingsLookup lookup;
    lookup.tried.push_back(std::string(executableDirectory) + kFileName);
    if (const auto config = AbsoluteVariable(environment, "XDG_CONFIG_HOME")) {
        lookup.tried.push_back(*config + "/vantrel/" + kFileName);
    } else if (const auto home = AbsoluteVariable(environment, "HOME")) {
        lookup.tried.push_back(*home + "/.config/vantrel/" + kFileName);
    }
    lookup.tried.push_back(std::string("/etc/vantrel/") + kFileName);
    for (std::size_t i = 0; i < lookup.tried.size(); ++i) {
        if (readable(lookup.tried[i])) {
            lookup.path = lookup.tried[i];
            lookup.tried.resize(i + 1);
            lookup.found = true;
            return lookup;
        }
    }
    lookup.path = lookup.tried.front();
    return lookup;
}

SettingsLookup LookUpSettingsFile() {
    return LookUpSettingsFile(
        DirectoryOfPath(ExecutablePath()),
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        },
        RegularFileReadable);
}

}  // namespace vantrel
