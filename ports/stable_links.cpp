#include "ports/stable_links.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kByIdDirectory = "/dev/serial/by-id";
constexpr const char* kByPathDirectory = "/dev/serial/by-path";
// More links than this in one directory is not a udev-made tree.
constexpr std::size_t kMaxDirectoryEntries = 1024;

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

// stat(2) follows the links itself; comparing identities rather than
// resolved names also holds where /dev paths are redirected.
std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

std::vector<std::string> LinksIn(const char* directory) {
    std::vector<std::string> links;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end;
         !error && it != end && links.size() < kMaxDirectoryEntries; it.increment(error)) {
        links.push_back(it->path().string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

bool IsIn(const std::string& link, const char* directory) {
    return fs::path(link).parent_path() == directory;
}

}  // namespace

StableLinks FindStableLinks(const std::string& device, const std::string& devlinks) {
    StableLinks found;
    const auto target = IdentityOf(device);
    if (!target) {
        return found;
    }
    std::vector<std::string> candidates;
    std::istringstream listed(devlinks);
    for (std::string link; listed >> link;) {
        candidates.push_back(link);
    }
    for (const char* directory : {kByIdDirectory, kByPathDirectory}) {
        const auto links = LinksIn(directory);
        candidates.insert(candidates.end(), links.begin(), links.end());
    }
    for (const std::string& link : candidates) {
        std::string* slot = IsIn(link, kByIdDirectory)     ? &found.byId
                            : IsIn(link, kByPathDirectory) ? &found.byPath
                                                           : nullptr;
        if (slot != nullptr && slot->empty() && IdentityOf(link) == target) {
            *slot = link;
        }
    }
    return found;
}

}  // namespace vantrel
