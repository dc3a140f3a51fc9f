#include "platform/executable_path.h"

#include <filesystem>
#include <system_error>

namespace vantrel {

std::string ExecutablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string ApplicationName() {
    return std::filesystem::path(ExecutablePath()).stem().string();
}

}  // namespace vantrel
