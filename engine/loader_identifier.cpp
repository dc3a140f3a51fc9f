#include "engine/loader_identifier.h"

#include <cstring>
#include <span>

namespace vantrel {

void FillLoaderId(const CIniFile& settings,
                  std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) {
    static constexpr char kFixedIdentifier[] = "KOSMA_QRN";  // ten bytes with the NUL
    loaderId.fill(0);
    settings.ReadValue("LOADER VERSION", "Version",
                       std::span<char>(reinterpret_cast<char*>(loaderId.data()), kLoaderIdLength));
    std::memcpy(loaderId.data(), kFixedIdentifier, sizeof kFixedIdentifier);
}

}  // namespace vantrel
