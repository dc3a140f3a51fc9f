#include "station/image_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>

#include "platform/read_only_file.h"

namespace vantrel {

std::optional<std::string> Sha256OfFile(const std::string& path) {
    ReadOnlyFile file;
    if (!file.Open(path)) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 64 * 1024> buffer{};
    for (std::size_t got; (got = file.Read(buffer)) > 0;) {
        EVP_DigestUpdate(context.get(), buffer.data(), got);
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
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

}  // namespace vantrel
