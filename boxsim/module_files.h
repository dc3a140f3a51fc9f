#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// The bytes to send back on the readback road: a file of 1 byte up to
// 65536 blocks. Nothing, with the reason in `error`, otherwise.
std::optional<std::vector<std::uint8_t>> LoadReadbackFile(const std::string& path,
                                                          std::string& error);

// Writes the module that arrived; false, with the reason in `error`, when the
// file cannot be written whole.
bool WriteModuleFile(const std::string& path, std::span<const std::uint8_t> module,
                     std::string& error);

}  // namespace vantrel
