#include "core/status_text.h"

#include <array>

#include "protocol/frame_codec.h"

namespace vantrel {
namespace {

std::string Tag(const UpdateSession::Progress& progress) {
    std::array<char, 64> tag{};
    ModuleTag(progress.empty, progress.kind, tag);
    return tag.data();
}

std::string PortText(int portNumber) {
    return "[Port:" + std::to_string(portNumber) + "]";
}

}  // namespace

std::string StatusText(StatusCode code, int portNumber, const UpdateSession::Progress& progress) {
    switch (code) {
        case kStatusCheckingPort:
            return "Checking Comm Port for Vantrel..." + PortText(portNumber);
        case kStatusPortOpened:
            return "Open Comm Port..." + PortText(portNumber) + " ===> OK!!";
        case kStatusPortFailed:
            return "Open Comm Port..." + PortText(portNumber) + " ===> Fail!!";
        case kStatusNotConnected:
            return "Not connected!!";
        case kStatusNoModules:
            return "No selected modules!!";
        case kStatusWaitBoot:
            return "Wait for STB BOOT...";
        case kStatusPreparing:
            return "Preparing modules...";
        case kStatusUpdating:
            if (!progress.hasSlot) {
                return "Updating modules...";
            }
            return "Updating modules...[Module - " + Tag(progress) + " : " +
                   std::to_string(progress.blockCounter) + "/" +
                   std::to_string(progress.blockCount) + "]";
        case kStatusWriting:
            return progress.hasSlot ? "Writing modules...[Module : " + Tag(progress) + "]" : "";
        case kStatusComplete:
            return "Complete updating successfully...";
        case kStatusUpdateFailed:
            return "Error...Update failed!";
        default:
            return "";
    }
}

std::string AcknowledgedStatusText(const SessionEvent& acknowledged) {
    // The updating status names no port.
    return StatusText(kStatusUpdating, 0, acknowledged.progress);
}

std::optional<std::string> UploadPercentage::Update(std::uint32_t blockCounter,
                                                    std::uint32_t blockCount) {
    // A module emptied on disk before Start has no blocks: no percentage.
    if (blockCount == 0) {
        return std::nullopt;
    }
    const std::uint32_t percent =
        static_cast<std::uint32_t>(std::uint64_t{blockCounter} * 100 / blockCount);
    const bool changed = percent != m_last;
    m_last = percent;
    if (!changed) {
        return std::nullopt;
    }
    return ">> Uploading... [" + std::to_string(percent) + " %]\r\n";
}

}  // namespace vantrel
