// An image file as the operator might choose it: the Open button's checks,
// the load into the module slot at Start, and every frame the session
// builds from that slot.
//
// The input is the file. When its header names a kind, the file is checked
// and loaded a second time grown with zeros to that kind's size, so that the
// accepted road (and its 65 to 1025 blocks) is taken as well.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "engine/image_file.h"
#include "engine/module_slots.h"
#include "fuzz/fuzz_support.h"
#include "platform/read_only_file.h"
#include "protocol/blocks.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"

namespace vantrel {
namespace {

using fuzz::Require;

bool IsZero(std::span<const std::uint8_t> bytes) {
    static constexpr std::array<std::uint8_t, kBlockSize> kZeros{};
    for (; !bytes.empty(); bytes = bytes.subspan(std::min<std::size_t>(bytes.size(), kBlockSize))) {
        if (std::memcmp(bytes.data(), kZeros.data(),
                        std::min<std::size_t>(bytes.size(), kBlockSize)) != 0) {
            return false;
        }
    }
    return true;
}

std::uint32_t ReadBE32(const std::uint8_t* bytes) {
    return (std::uint32_t{ReadBE16(bytes)} << 16) | ReadBE16(bytes + 2);
}

// The kind the header names, read straight from the bytes.
std::int32_t KindOfHeader(std::span<const std::uint8_t> file) {
    const auto has = [&](std::size_t offset, std::string_view text) {
        return file.size() >= offset + text.size() &&
               std::memcmp(file.data() + offset, text.data(), text.size()) == 0;
    };
    if (!has(0, "ZKMR") || !has(8, "29")) {
        return kImageNone;
    }
    for (std::int32_t kind : {kImageLoad, kImageAppl, kImageLdap}) {
        if (has(12, FindImageKind(kind)->headerText)) {
            return kind;
        }
    }
    return kImageNone;
}

// The checks the image Open button makes, against what the bytes say.
std::int32_t CheckFile(const std::string& path, std::span<const std::uint8_t> file,
                       std::uint64_t fileSize) {
    ReadOnlyFile reader;
    Require(reader.Open(path), "a regular file opens");
    const std::int32_t kind = CheckImageFile(reader);
    Require(kind == KindOfHeader(file), "the header's kind");
    Require(ImageFileSize(reader) == static_cast<std::int64_t>(fileSize), "the file's size");
    // The header is read from the start, wherever the position was left.
    Require(CheckImageFile(reader) == kind, "the header read again");

    const ImageCheck check = InspectImageFile(path);
    Require(check.kind >= kImageNone && check.kind <= kImageLdap, "a known kind");
    Require((check.kind == kImageNone) != check.error.empty(), "a refusal says why");
    if (check.kind != kImageNone) {
        Require(check.kind == kind, "the accepted kind is the header's");
        Require(FindImageKind(kind)->requiredSize == static_cast<std::int64_t>(fileSize),
                "an accepted image has its kind's size");
    } else if (kind != kImageNone) {
        Require(FindImageKind(kind)->requiredSize != static_cast<std::int64_t>(fileSize),
                "a refused image with a good header has the wrong size");
    }
    return kind;
}

// The slot load at Start and the frames the session builds from the slot,
// built the way the session builds them into its transmit buffer.
void LoadAndBuildFrames(const std::string& path, std::span<const std::uint8_t> file,
                        std::uint64_t fileSize, std::int32_t kind) {
    const ImageKindInfo* info = FindImageKind(kind);
    const std::string_view destAddress = info != nullptr ? info->destAddress : "0x10000000";
    ModuleSlots slots;
    Require(slots.LoadImageIntoSlot(destAddress, path, kind) == LoadResult::kLoaded, "loaded");
    const ModuleSlot& slot = slots[0];
    const auto blocks = static_cast<std::uint32_t>(BlocksOf(fileSize));
    Require(slot.empty == 0 && slot.selected == 1 && slot.kind == kind, "a loaded slot");
    Require(slot.imageLength == fileSize, "the slot holds the whole file");
    Require(slot.data.size() == fileSize + 1 && slot.data.back() == 0,
            "one zero byte behind the image");
    Require(std::equal(file.begin(), file.end(), slot.data.begin()), "the file's bytes");
    Require(IsZero(std::span(slot.data).subspan(file.size())), "the grown part reads as zeros");
    Require(slot.blockCount == blocks && slots.TotalBlocks() == blocks, "the block count");
    Require(slots.ModuleCount() == 1 && slots.FirstSelectedSlot() == &slot, "one module");

    std::array<std::uint8_t, 4097> tx{};  // the session's transmit buffer
    FrameRequest header{};
    header.type = kFrameMbe;
    header.empty = slot.empty;
    header.kind = slot.kind;
    header.blockCount = slot.blockCount;
    header.imageLength = slot.imageLength;
    header.image = slot.data.data();
    std::copy_n(slot.destAddress.begin(),
                std::min(slot.destAddress.size(), header.destAddress.size() - 1),
                header.destAddress.begin());
    Require(BuildFrame(header, tx) == kMbeFrameLength, "MBE built");
    Require(std::memcmp(tx.data(), "MBE", 3) == 0, "MBE command");
    Require(ReadBE16(&tx[5]) == (blocks & 0xFFFF), "MBE block count");
    Require(ReadBE32(&tx[11]) == slot.imageLength, "MBE module length");
    Require(ReadBE16(&tx[15]) == Sum16(file), "MBE checksum over the module");
    if (info != nullptr) {
        const std::string address(info->destAddress);
        Require(ReadBE32(&tx[7]) == std::stoul(address, nullptr, 16), "MBE destination address");
    }

    for (std::uint32_t number = 0, offset = 0; offset < slot.imageLength;
         ++number, offset += kBlockSize) {
        FrameRequest block{};
        block.type = kFrameBlk;
        block.blockNumber = number;
        block.blockSize = kBlockSize;
        block.dataLength = std::min(kBlockSize, slot.imageLength - offset);
        block.blockData = slot.data.data() + offset;
        tx[kBlkFrameLength] = 0;
        Require(BuildFrame(block, tx) == kBlkFrameLength, "BLK built");
        Require(std::memcmp(tx.data(), "BLK", 3) == 0, "BLK command");
        Require(ReadBE16(&tx[3]) == (number & 0xFFFF), "BLK number");
        Require(ReadBE16(&tx[5]) == block.dataLength, "BLK data length");
        // The block's bytes: from the file, then the zeros it was grown with.
        const std::span<const std::uint8_t> sent(&tx[kBlkHeaderLength], block.dataLength);
        const std::size_t fromFile =
            offset < file.size() ? std::min<std::size_t>(block.dataLength, file.size() - offset)
                                 : 0;
        Require(std::memcmp(sent.data(), file.data() + std::min<std::size_t>(offset, file.size()),
                            fromFile) == 0 &&
                    IsZero(sent.subspan(fromFile)),
                "BLK data");
        Require(IsZero(std::span(tx).subspan(kBlkHeaderLength + block.dataLength,
                                             kBlockSize - block.dataLength)),
                "BLK zero fill");
        // The zeros the file was grown with add nothing to the sum.
        Require(tx[kBlkFrameLength - 1] == Sum8(sent.first(fromFile)), "BLK checksum");
        Require(tx[kBlkFrameLength] == 0, "nothing written behind the frame");
    }
}

void CheckUnreadablePaths() {
    const std::string directory = fuzz::ScratchDir::Get().Path().string();
    const std::string missing = fuzz::ScratchDir::Get().File("missing.bin");
    for (const std::string& path : {directory, missing}) {
        Require(InspectImageFile(path).kind == kImageNone, "an unreadable path is refused");
        ModuleSlots slots;
        Require(slots.LoadImageIntoSlot("0x10000000", path, kImageLoad) == LoadResult::kCannotOpen,
                "an unreadable path does not load");
        Require(slots.ModuleCount() == 0, "no module from an unreadable path");
    }
    ModuleSlots slots;
    Require(slots.LoadImageIntoSlot("", missing, kImageLoad) == LoadResult::kMissingText,
            "an empty address box");
}

}  // namespace
}  // namespace vantrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    const std::span<const std::uint8_t> file(data, size);
    fuzz::ScratchDir::Get().Clear();
    const std::string path = fuzz::ScratchDir::Get().Write("image.bin", file);

    const std::int32_t kind = CheckFile(path, file, size);
    LoadAndBuildFrames(path, file, size, kind);

    if (kind != kImageNone) {
        const auto required = static_cast<std::uint64_t>(FindImageKind(kind)->requiredSize);
        if (size < required) {
            std::filesystem::resize_file(path, required);
            Require(CheckFile(path, file, required) == kind, "the grown file keeps its kind");
            Require(InspectImageFile(path).kind == kind, "a file of its kind's size is accepted");
            LoadAndBuildFrames(path, file, required, kind);
        }
    }
    CheckUnreadablePaths();
    return 0;
}
