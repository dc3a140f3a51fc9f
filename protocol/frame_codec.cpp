#include "protocol/frame_codec.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "protocol/checksum.h"
#include "protocol/hex_text.h"
#include "protocol/image_kind.h"

namespace vantrel {
namespace {

constexpr std::size_t kAddressDigitsCapacity = 29;

void PutText(std::span<std::uint8_t> out, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutBE16(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
    out[offset] = static_cast<std::uint8_t>(value >> 8);
    out[offset + 1] = static_cast<std::uint8_t>(value);
}

void PutBE32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
    PutBE16(out, offset, value >> 16);
    PutBE16(out, offset + 2, value);
}

// The digits start after the first upper-case X anywhere in the text, else
// after the first lower-case x, else at the start.
std::uint32_t ParseDestAddress(const std::array<char, kDestAddressCapacity>& text) {
    const std::string_view whole(text.data(), strnlen(text.data(), text.size()));
    std::size_t start = whole.find('X');
    if (start == std::string_view::npos) {
        start = whole.find('x');
    }
    start = (start == std::string_view::npos) ? 0 : start + 1;
    std::uint32_t value = 0;
    HexToU32(whole.substr(start, kAddressDigitsCapacity), value);
    return value;
}

std::size_t BuildGbe(const FrameRequest& request, std::span<std::uint8_t> out) {
    PutText(out, 0, "GBE");
    out[3] = 0x01;
    std::copy_n(request.loaderId.begin(), kLoaderIdLength, out.begin() + 4);
    return kGbeFrameLength;
}

std::size_t BuildMbe(const FrameRequest& request, std::span<std::uint8_t> out) {
    PutText(out, 0, "MBE");
    if (request.empty != 0 || (request.image == nullptr && request.imageLength != 0)) {
        return 0;
    }
    std::fill_n(out.begin() + 3, kMbeFrameLength - 3, std::uint8_t{0});
    PutText(out, 3, TagOfKind(request.kind));
    PutBE16(out, 5, request.blockCount);
    PutBE32(out, 7, ParseDestAddress(request.destAddress));
    PutBE32(out, 11, request.imageLength);
    PutBE16(out, 15, Sum16({request.image, request.imageLength}));
    return kMbeFrameLength;
}

std::size_t BuildBlk(const FrameRequest& request, std::span<std::uint8_t> out) {
    const std::size_t length = std::size_t{request.blockSize} + 8;
    if (request.dataLength == 0 || request.dataLength > request.blockSize ||
        request.blockData == nullptr || length > out.size()) {
        return 0;
    }
    const std::span<const std::uint8_t> data(request.blockData, request.dataLength);
    PutText(out, 0, "BLK");
    PutBE16(out, 3, request.blockNumber);
    PutBE16(out, 5, request.dataLength);
    auto zeroFill = std::copy(data.begin(), data.end(), out.begin() + kBlkHeaderLength);
    std::fill(zeroFill, out.begin() + static_cast<std::ptrdiff_t>(length - 1), std::uint8_t{0});
    out[length - 1] = Sum8(data);
    return length;
}

std::size_t BuildCommand(std::string_view command, std::span<std::uint8_t> out) {
    PutText(out, 0, command);
    return kCommandLength;
}

}  // namespace

std::size_t BuildFrame(const FrameRequest& request, std::span<std::uint8_t> out) {
    static constexpr std::size_t kFixedLength[] = {kGbeFrameLength, kMbeFrameLength, 0,
                                                   kCommandLength,  kCommandLength,  kCommandLength,
                                                   kCommandLength,  kCommandLength};
    if (request.type > kFrameNak || out.size() < kFixedLength[request.type]) {
        return 0;
    }
    switch (request.type) {
        case kFrameGbe:
            return BuildGbe(request, out);
        case kFrameMbe:
            return BuildMbe(request, out);
        case kFrameBlk:
            return BuildBlk(request, out);
        case kFrameMen:
            return BuildCommand("MEN", out);
        case kFrameGen:
            return BuildCommand("GEN", out);
        case kFrameCnl:
            return BuildCommand("CNL", out);
        case kFrameAck:
            return BuildCommand("ACK", out);
        default:
            return BuildCommand("NAK", out);
    }
}

ResponseKind ClassifyResponse(std::span<const std::uint8_t> received) {
    if (received.size() < 3) {
        return kResponseText;
    }
    static constexpr struct {
        std::string_view word;
        ResponseKind kind;
    } kWords[] = {{">> ", kResponsePrompt},
                  {"ACK", kResponseAck},
                  {"NAK", kResponseNak},
                  {"BLK", kResponseBlk},
                  {"MEN", kResponseMen}};
    for (const auto& entry : kWords) {
        if (std::memcmp(received.data(), entry.word.data(), 3) == 0) {
            return entry.kind;
        }
    }
    return kResponseText;
}

void ModuleTag(std::uint32_t empty, std::int32_t kind, std::span<char> out) {
    const std::string_view tag = TagOfKind(kind);
    if (empty != 0 || tag.empty() || out.size() < tag.size()) {
        return;
    }
    std::copy(tag.begin(), tag.end(), out.begin());
}

}  // namespace vantrel
