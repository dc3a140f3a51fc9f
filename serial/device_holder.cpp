#include "serial/device_holder.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

bool IsProcessDirectory(const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool HoldsFile(const fs::path& processDirectory, const fs::path& file) {
    std::error_code error;
    for (fs::directory_iterator it(processDirectory / "fd", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code linkError;
        if (fs::read_symlink(it->path(), linkError) == file && !linkError) {
            return true;
        }
    }
    return false;
}

std::string CommandName(const fs::path& processDirectory) {
    std::ifstream comm(processDirectory / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::optional<DeviceHolder> FindDeviceHolder(const std::string& devicePath) {
    std::error_code error;
    const fs::path device = fs::canonical(devicePath, error);
    if (error) {
        return std::nullopt;
    }
    for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
        if (!IsProcessDirectory(*it) || !HoldsFile(it->path(), device)) {
            continue;
        }
        DeviceHolder holder;
        holder.pid = std::stoi(it->path().filename().string());
        holder.program = CommandName(it->path());
        holder.isThisProcess = holder.pid == ::getpid();
        return holder;
    }
    return std::nullopt;
}

}  // namespace vantrel
