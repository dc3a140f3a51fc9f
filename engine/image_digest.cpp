#include "engine/image_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>

#include "platform/read_only_file.h"

namespace vantrel {
namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

DigestContext NewSha256() {
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

std::optional<std::string> FinalHex(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1) {
        return std::nullopt;
    }
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    const DigestContext context = NewSha256();
    if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) {
        // Only an OpenSSL without SHA-256, or out of memory: no digest can
        // match one, so an image is never taken for another.
        return {};
    }
    return FinalHex(context.get()).value_or("");
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
    ReadOnlyFile file;
    const DigestContext context = NewSha256();
    if (!context || !file.Open(path)) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 64 * 1024> buffer{};
    for (std::size_t got; (got = file.Read(buffer)) > 0;) {
        EVP_DigestUpdate(context.get(), buffer.data(), got);
    }
    return FinalHex(context.get());
}

std::string ShortDigest(const std::string& sha256) {
    return sha256.substr(0, 12);
}

}  // namespace vantrel
