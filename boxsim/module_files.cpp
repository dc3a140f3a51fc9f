#include "boxsim/module_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "boxsim/readback_source.h"
#include "protocol/frame_codec.h"

namespace vantrel {

std::optional<std::vector<std::uint8_t>> LoadReadbackFile(const std::string& path,
                                                          std::string& error) {
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    if (code) {
        error = "cannot read " + path + ": " + code.message();
        return std::nullopt;
    }
    constexpr std::uintmax_t kMaxSize = std::uintmax_t{kMaxReadbackBlocks} * kBlockSize;
    if (size == 0 || size > kMaxSize) {
        error = path + " holds " + std::to_string(size) + " bytes; a readback sends 1 to " +
                std::to_string(kMaxSize);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return bytes;
}

bool WriteModuleFile(const std::string& path, std::span<const std::uint8_t> module,
                     std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        file.write(reinterpret_cast<const char*>(module.data()),
                   static_cast<std::streamsize>(module.size()));
        file.close();
    }
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace vantrel
