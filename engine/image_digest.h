#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vantrel {

// The SHA-256 of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

// The SHA-256 of the file at `path` as 64 lower-case hex digits; nothing
// when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

// The first 12 hex digits, as messages name a digest.
std::string ShortDigest(const std::string& sha256);

}  // namespace vantrel
