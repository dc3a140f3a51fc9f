#include "protocol/frame_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "protocol/blocks.h"
#include "protocol/checksum.h"

namespace vantrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The transmit buffer as the session holds it: 4096 bytes and a terminator.
struct TxBuffer {
    std::array<std::uint8_t, 4097> bytes{};
    std::size_t Build(const FrameRequest& request) { return BuildFrame(request, bytes); }
    Bytes Frame(std::size_t length) const { return Bytes(bytes.begin(), bytes.begin() + length); }
};

FrameRequest MbeRequest(std::int32_t kind, const Bytes& image, const char* address) {
    FrameRequest request{};
    request.type = kFrameMbe;
    request.kind = kind;
    request.image = image.data();
    request.imageLength = static_cast<std::uint32_t>(image.size());
    request.blockCount = BlocksOf(request.imageLength);
    std::strncpy(request.destAddress.data(), address, request.destAddress.size() - 1);
    return request;
}

TEST(ClassifyResponse, SortsByTheFirstThreeBytesOnly) {
    const struct {
        std::string received;
        ResponseKind kind;
    } cases[] = {
        {"ACK", kResponseAck},
        {"NAK", kResponseNak},
        {"BLK", kResponseBlk},
        {"MEN", kResponseMen},
        {">> ", kResponsePrompt},
        {"ACK\r\nmore", kResponseAck},
        {std::string("BLK\0\0", 5), kResponseBlk},
        {"AC", kResponseText},
        {">>", kResponseText},
        {"ack", kResponseText},
        {" ACK", kResponseText},
        {">>>", kResponseText},
        {"BOOT", kResponseText},
        {"", kResponseText},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyResponse(Of(c.received)), c.kind) << '"' << c.received << '"';
    }
}

TEST(BuildFrame, ShortCommandsAreTheirThreeLetters) {
    const struct {
        std::uint32_t type;
        const char* letters;
    } cases[] = {{kFrameMen, "MEN"},
                 {kFrameGen, "GEN"},
                 {kFrameCnl, "CNL"},
                 {kFrameAck, "ACK"},
                 {kFrameNak, "NAK"}};
    for (const auto& c : cases) {
        TxBuffer tx;
        FrameRequest request{};
        request.type = c.type;
        ASSERT_EQ(tx.Build(request), 3u) << c.letters;
        EXPECT_EQ(tx.Frame(3), Of(c.letters));
        EXPECT_EQ(tx.bytes[3], 0) << "nothing is written past the command";
    }
}

TEST(BuildFrame, UnknownTypeWritesNothing) {
    for (std::uint32_t type : {8u, 9u, 255u, 0xFFFFFFFFu}) {
        TxBuffer tx;
        tx.bytes.fill(0xEE);
        FrameRequest request{};
        request.type = type;
        EXPECT_EQ(tx.Build(request), 0u) << type;
        EXPECT_TRUE(
            std::all_of(tx.bytes.begin(), tx.bytes.end(), [](auto b) { return b == 0xEE; }));
    }
}

TEST(BuildFrame, HandshakeCarriesTheLoaderIdentifierUnchanged) {
    TxBuffer tx;
    FrameRequest request{};
    request.type = kFrameGbe;
    std::memcpy(request.loaderId.data(), "KOSMA_QRN", 9);
    ASSERT_EQ(tx.Build(request), 36u);
    Bytes expected = Of("GBE\x01KOSMA_QRN");
    expected.resize(36, 0);
    EXPECT_EQ(tx.Frame(36), expected);

    // All 32 identifier bytes go out, even those behind a NUL; the 33rd does not.
    std::iota(request.loaderId.begin(), request.loaderId.end(), std::uint8_t{1});
    ASSERT_EQ(tx.Build(request), 36u);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(tx.bytes[4 + i], i + 1);
    }
    EXPECT_EQ(tx.bytes[36], 0);
}

TEST(BuildFrame, ModuleHeadersOfTheThreeKinds) {
    const struct {
        std::int32_t kind;
        std::size_t length;
        const char* address;
        Bytes head;  // bytes 0 to 14
    } cases[] = {
        {1,
         66560,
         "0x10000000",
         {0x4D, 0x42, 0x45, 0x4C, 0x44, 0x00, 0x41, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04,
          0x00}},
        {2,
         590848,
         "0x10010000",
         {'M', 'B', 'E', 'S', 'W', 0x02, 0x41, 0x10, 0x01, 0x00, 0x00, 0x00, 0x09, 0x04, 0x00}},
        {3,
         1049600,
         "0x10000000",
         {'M', 'B', 'E', 'L', 'A', 0x04, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x10, 0x04, 0x00}},
    };
    for (const auto& c : cases) {
        Bytes image(c.length);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        TxBuffer tx;
        ASSERT_EQ(tx.Build(MbeRequest(c.kind, image, c.address)), 17u) << c.kind;
        const Bytes frame = tx.Frame(17);
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 15), c.head) << c.kind;
        EXPECT_EQ(ReadBE16(&frame[15]), Sum16(image)) << c.kind;
    }
}

TEST(BuildFrame, ModuleHeaderAddressTextForms) {
    const struct {
        const char* text;
        std::uint32_t address;
    } cases[] = {
        {"0x10010000", 0x10010000},
        {"0X10010000", 0x10010000},
        {"10010000", 0x10010000},
        {"0x1X2", 0x2},  // the upper-case X is searched for first
        {"0x1000_0000", 0x1000},
        {"0x", 0},
        {"zzz", 0},
        {"", 0},
    };
    const Bytes image(10, 1);
    for (const auto& c : cases) {
        TxBuffer tx;
        ASSERT_EQ(tx.Build(MbeRequest(1, image, c.text)), 17u);
        const std::uint32_t address = (std::uint32_t{tx.bytes[7]} << 24) |
                                      (std::uint32_t{tx.bytes[8]} << 16) |
                                      (std::uint32_t{tx.bytes[9]} << 8) | tx.bytes[10];
        EXPECT_EQ(address, c.address) << c.text;
    }
}

TEST(BuildFrame, ModuleHeaderOfAnEmptySlotIsNotSent) {
    const Bytes image(100, 1);
    FrameRequest request = MbeRequest(1, image, "0x10000000");
    request.empty = 1;
    TxBuffer tx;
    EXPECT_EQ(tx.Build(request), 0u);
}

TEST(BuildFrame, ModuleHeaderOfAKindWithoutTagHasZeroTag) {
    const Bytes image(100, 1);
    TxBuffer tx;
    tx.bytes.fill(0xEE);
    ASSERT_EQ(tx.Build(MbeRequest(7, image, "0x10000000")), 17u);
    EXPECT_EQ(tx.bytes[3], 0);
    EXPECT_EQ(tx.bytes[4], 0);
}

TEST(BuildFrame, BlocksAreAlwaysFullLength) {
    Bytes image(3000);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(0xF0 + i);
    }
    const struct {
        std::uint32_t number;
        std::uint32_t offset;
        std::uint32_t dataLength;
    } cases[] = {{0, 0, 1024}, {1, 1024, 1024}, {2, 2048, 952}, {1024, 0, 10}, {0x12345, 0, 1}};
    for (const auto& c : cases) {
        FrameRequest request{};
        request.type = kFrameBlk;
        request.blockNumber = c.number;
        request.blockSize = 1024;
        request.dataLength = c.dataLength;
        request.blockData = image.data() + c.offset;
        TxBuffer tx;
        tx.bytes.fill(0xEE);  // the builder clears its own padding
        ASSERT_EQ(tx.Build(request), 1032u) << c.number;
        const Bytes frame = tx.Frame(1032);
        const std::span<const std::uint8_t> data(image.data() + c.offset, c.dataLength);
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 3), Of("BLK"));
        EXPECT_EQ(ReadBE16(&frame[3]), c.number & 0xFFFF);
        EXPECT_EQ(ReadBE16(&frame[5]), c.dataLength);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), frame.begin() + 7));
        EXPECT_TRUE(std::all_of(frame.begin() + 7 + c.dataLength, frame.begin() + 1031,
                                [](auto b) { return b == 0; }));
        EXPECT_EQ(frame[1031], Sum8(data)) << "the checksum covers the data alone";
    }
}

TEST(BuildFrame, BlockFacts) {
    // Block 1024 carries 04 00; ten data bytes give 00 0A and zeros at 17 to 1030.
    const Bytes data = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0xFF};
    FrameRequest request{};
    request.type = kFrameBlk;
    request.blockNumber = 1024;
    request.blockSize = 1024;
    request.dataLength = 10;
    request.blockData = data.data();
    TxBuffer tx;
    ASSERT_EQ(tx.Build(request), 1032u);
    EXPECT_EQ(tx.bytes[3], 0x04);
    EXPECT_EQ(tx.bytes[4], 0x00);
    EXPECT_EQ(tx.bytes[5], 0x00);
    EXPECT_EQ(tx.bytes[6], 0x0A);
    EXPECT_EQ(tx.bytes[17], 0);
    EXPECT_EQ(tx.bytes[1030], 0);
    EXPECT_EQ(tx.bytes[1031], (9 + 8 + 7 + 6 + 5 + 4 + 3 + 2 + 1 + 0xFF) & 0xFF);
}

TEST(BuildFrame, BlockRequestsThatCannotBeSent) {
    const Bytes data(2048, 1);
    const struct {
        const char* name;
        std::uint32_t dataLength;
        std::uint32_t blockSize;
        bool withData;
        std::size_t bufferSize;
    } cases[] = {
        {"no data", 0, 1024, true, 4097},
        {"more data than the block holds", 1025, 1024, true, 4097},
        {"no data pointer", 10, 1024, false, 4097},
        {"frame larger than the buffer", 10, 1024, true, 1031},
        {"block size beyond the buffer", 10, 8192, true, 4097},
    };
    for (const auto& c : cases) {
        FrameRequest request{};
        request.type = kFrameBlk;
        request.blockSize = c.blockSize;
        request.dataLength = c.dataLength;
        request.blockData = c.withData ? data.data() : nullptr;
        std::vector<std::uint8_t> out(c.bufferSize, 0xEE);
        EXPECT_EQ(BuildFrame(request, out), 0u) << c.name;
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](auto b) { return b == 0xEE; }))
            << c.name;
    }
}

TEST(ModuleTag, WritesTheTwoLettersOfTaggedKinds) {
    const struct {
        std::uint32_t empty;
        std::int32_t kind;
        std::string tag;
    } cases[] = {{0, 1, "LD"}, {0, 2, "SW"}, {0, 3, "LA"}, {1, 1, ""},
                 {0, 0, ""},   {0, 4, ""},   {0, -1, ""}};
    for (const auto& c : cases) {
        std::array<char, 64> text{};
        ModuleTag(c.empty, c.kind, text);
        EXPECT_EQ(std::string(text.data()), c.tag) << c.kind << " empty " << c.empty;
    }
}

}  // namespace
}  // namespace vantrel
