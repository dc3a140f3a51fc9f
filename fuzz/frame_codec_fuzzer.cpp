// The frame codec with every field of a request fuzzed, an output buffer of
// fuzzed size, and the codec's helpers on the bytes that remain.
//
// The caller's side of the contract is kept: a non-null image or block
// pointer points at a buffer of exactly the length stated, allocated on its
// own so that the address sanitizer sees any read past it. What the codec
// must refuse itself (an unknown type, an empty or missing block, a block
// longer than its data area, a frame larger than the buffer) is checked
// against the result, and so is every byte of each frame built.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"
#include "protocol/hex_text.h"

namespace vantrel {
namespace {

using fuzz::Require;

constexpr std::uint8_t kUntouched = 0xC7;

// A heap buffer of exactly `length` bytes (never null), filled from the input.
std::unique_ptr<std::uint8_t[]> ExactBuffer(FuzzedDataProvider& provider, std::size_t length) {
    auto buffer = std::make_unique<std::uint8_t[]>(length);
    const std::vector<std::uint8_t> bytes = provider.ConsumeBytes<std::uint8_t>(length);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    return buffer;
}

std::uint32_t ReadBE32(const std::uint8_t* bytes) {
    return (std::uint32_t{ReadBE16(bytes)} << 16) | ReadBE16(bytes + 2);
}

std::size_t FixedLength(std::uint32_t type) {
    switch (type) {
        case kFrameGbe:
            return kGbeFrameLength;
        case kFrameMbe:
            return kMbeFrameLength;
        case kFrameBlk:
            return 0;
        default:
            return kCommandLength;
    }
}

// What BuildFrame must return for the request, from the header's rules.
std::size_t ExpectedLength(const FrameRequest& request, std::size_t outSize) {
    if (request.type > kFrameNak || outSize < FixedLength(request.type)) {
        return 0;
    }
    switch (request.type) {
        case kFrameMbe:
            return request.empty != 0 || (request.image == nullptr && request.imageLength != 0)
                       ? 0
                       : kMbeFrameLength;
        case kFrameBlk: {
            const std::size_t length = std::size_t{request.blockSize} + 8;
            return request.dataLength == 0 || request.dataLength > request.blockSize ||
                           request.blockData == nullptr || length > outSize
                       ? 0
                       : length;
        }
        default:
            return FixedLength(request.type);
    }
}

// The bytes a frame of this type may occupy at most.
std::size_t FrameBound(const FrameRequest& request, std::size_t outSize) {
    if (request.type > kFrameNak) {
        return 0;
    }
    const std::size_t length =
        request.type == kFrameBlk ? std::size_t{request.blockSize} + 8 : FixedLength(request.type);
    return std::min(length, outSize);
}

// "0x" and one to eight hex digits, alone: the address the text plainly says.
bool PlainHexAddress(std::string_view text, std::uint32_t& value) {
    if (text.size() < 3 || text.size() > 10 || text.substr(0, 2) != "0x") {
        return false;
    }
    value = 0;
    for (char c : text.substr(2)) {
        const char lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<std::uint32_t>(c - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            value = value * 16 + static_cast<std::uint32_t>(lower - 'a' + 10);
        } else {
            return false;
        }
    }
    return true;
}

void CheckFrame(const FrameRequest& request, std::span<const std::uint8_t> frame) {
    static constexpr std::string_view kCommands[] = {"GBE", "MBE", "BLK", "MEN",
                                                     "GEN", "CNL", "ACK", "NAK"};
    Require(std::memcmp(frame.data(), kCommands[request.type].data(), 3) == 0,
            "the frame begins with its command");
    if (request.type == kFrameGbe) {
        Require(frame[3] == 0x01, "GBE byte 3");
        Require(std::equal(request.loaderId.begin(), request.loaderId.begin() + kLoaderIdLength,
                           frame.begin() + 4),
                "GBE carries the identifier's first 32 bytes");
    } else if (request.type == kFrameMbe) {
        std::array<char, 2> tag{};
        ModuleTag(0, request.kind, tag);
        Require(std::memcmp(&frame[3], tag.data(), 2) == 0, "MBE tag, zeros without one");
        Require(ReadBE16(&frame[5]) == (request.blockCount & 0xFFFF), "MBE block count");
        Require(ReadBE32(&frame[11]) == request.imageLength, "MBE module length");
        Require(ReadBE16(&frame[15]) == Sum16({request.image, request.imageLength}),
                "MBE checksum");
        const std::string_view text(
            request.destAddress.data(),
            strnlen(request.destAddress.data(), request.destAddress.size()));
        if (std::uint32_t address = 0; PlainHexAddress(text, address)) {
            Require(ReadBE32(&frame[7]) == address, "MBE destination address");
        }
    } else if (request.type == kFrameBlk) {
        const std::span<const std::uint8_t> data(request.blockData, request.dataLength);
        Require(ReadBE16(&frame[3]) == (request.blockNumber & 0xFFFF), "BLK number");
        Require(ReadBE16(&frame[5]) == (request.dataLength & 0xFFFF), "BLK data length");
        Require(std::equal(data.begin(), data.end(), frame.begin() + kBlkHeaderLength), "BLK data");
        Require(std::all_of(frame.begin() + kBlkHeaderLength + data.size(), frame.end() - 1,
                            [](std::uint8_t byte) { return byte == 0; }),
                "BLK zero fill");
        Require(frame.back() == Sum8(data), "BLK checksum");
    }
}

void CheckBuildFrame(FuzzedDataProvider& provider) {
    FrameRequest request{};
    request.type = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<std::uint32_t>(0, 8)
                                          : provider.ConsumeIntegral<std::uint32_t>();
    request.empty = provider.ConsumeBool() ? 0 : provider.ConsumeIntegral<std::uint32_t>();
    request.kind = provider.ConsumeIntegral<std::int32_t>();
    const auto loaderId = provider.ConsumeBytes<std::uint8_t>(request.loaderId.size());
    std::copy(loaderId.begin(), loaderId.end(), request.loaderId.begin());
    const auto address = provider.ConsumeBytes<char>(request.destAddress.size());
    std::copy(address.begin(), address.end(), request.destAddress.begin());
    request.blockCount = provider.ConsumeIntegral<std::uint32_t>();
    request.blockNumber = provider.ConsumeIntegral<std::uint32_t>();
    request.blockSize = provider.ConsumeBool()
                            ? provider.ConsumeIntegralInRange<std::uint32_t>(0, 2 * kBlockSize)
                            : provider.ConsumeIntegral<std::uint32_t>();

    std::unique_ptr<std::uint8_t[]> image;
    if (provider.ConsumeBool()) {
        request.imageLength = provider.ConsumeIntegralInRange<std::uint32_t>(0, 4096);
        image = ExactBuffer(provider, request.imageLength);
        request.image = image.get();
    } else {
        request.imageLength = provider.ConsumeIntegral<std::uint32_t>();
    }
    std::unique_ptr<std::uint8_t[]> blockData;
    if (provider.ConsumeBool()) {
        request.dataLength = provider.ConsumeIntegralInRange<std::uint32_t>(0, 2 * kBlockSize + 8);
        blockData = ExactBuffer(provider, request.dataLength);
        request.blockData = blockData.get();
    } else {
        request.dataLength = provider.ConsumeIntegral<std::uint32_t>();
    }

    const std::size_t outSize =
        provider.ConsumeIntegralInRange<std::size_t>(0, 2 * kBlkFrameLength + 16);
    std::vector<std::uint8_t> out(outSize, kUntouched);
    const std::size_t length = BuildFrame(request, out);
    Require(length <= out.size(), "a frame never exceeds its buffer");
    Require(length == ExpectedLength(request, out.size()), "built or refused as documented");
    Require(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(FrameBound(request, outSize)),
                        out.end(), [](std::uint8_t byte) { return byte == kUntouched; }),
            "nothing written behind the frame");
    if (length > 0) {
        CheckFrame(request, std::span<const std::uint8_t>(out).first(length));
    }

    // The tag alone, into a buffer of fuzzed size.
    std::vector<char> tag(provider.ConsumeIntegralInRange<std::size_t>(0, 4), '#');
    ModuleTag(request.empty, request.kind, tag);
    const bool tagged = request.empty == 0 && request.kind >= 1 && request.kind <= 3;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (i >= 2 || !tagged || tag.size() < 2) {
            Require(tag[i] == '#', "ModuleTag writes only its two letters");
        } else {
            Require(tag[i] >= 'A' && tag[i] <= 'Z', "a tag is two capital letters");
        }
    }
}

void CheckResponse(std::span<const std::uint8_t> bytes) {
    const ResponseKind kind = ClassifyResponse(bytes);
    ResponseKind expected = kResponseText;
    if (bytes.size() >= 3) {
        const std::string_view word(reinterpret_cast<const char*>(bytes.data()), 3);
        if (word == ">> ") {
            expected = kResponsePrompt;
        } else if (word == "ACK") {
            expected = kResponseAck;
        } else if (word == "NAK") {
            expected = kResponseNak;
        } else if (word == "BLK") {
            expected = kResponseBlk;
        } else if (word == "MEN") {
            expected = kResponseMen;
        }
    }
    Require(kind == expected, "a response is sorted by its first three bytes");
}

void CheckHex(std::string_view text) {
    std::uint32_t value = 0xDEADBEEF;
    const std::size_t digits = HexToU32(text, value);
    Require(digits <= text.size(), "no more digits than characters");
    for (std::size_t i = 0; i < digits; ++i) {
        Require(HexDigitValue(text[i]) >= 0, "only digits consumed");
    }
    Require(digits == text.size() || HexDigitValue(text[digits]) < 0, "stops at a non-digit");
    std::uint32_t lastEight = 0;
    for (std::size_t i = digits - std::min<std::size_t>(digits, 8); i < digits; ++i) {
        lastEight = lastEight * 16 + static_cast<std::uint32_t>(HexDigitValue(text[i]));
    }
    Require(value == lastEight, "the value of the last eight digits");
    for (char c : text) {
        const int digit = HexDigitValue(c);
        Require(digit >= -1 && digit <= 15, "a digit's value");
    }
}

void CheckSums(std::span<const std::uint8_t> bytes, std::size_t split) {
    Require(Sum8(bytes) == static_cast<std::uint8_t>(Sum16(bytes)), "Sum8 is Sum16's low byte");
    split = std::min(split, bytes.size());
    Require(Sum16(bytes) ==
                static_cast<std::uint16_t>(Sum16(bytes.first(split)) + Sum16(bytes.subspan(split))),
            "Sum16 adds up over parts");
    if (bytes.size() >= 2) {
        Require(ReadBE16(bytes.data()) == bytes[0] * 256 + bytes[1], "big-endian 16 bits");
    }
}

}  // namespace
}  // namespace vantrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    FuzzedDataProvider provider(data, size);
    CheckBuildFrame(provider);
    const std::size_t split = provider.ConsumeIntegral<std::uint16_t>();
    const std::vector<std::uint8_t> rest = provider.ConsumeRemainingBytes<std::uint8_t>();
    CheckResponse(rest);
    CheckHex(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
    CheckSums(rest, split);
    return 0;
}
