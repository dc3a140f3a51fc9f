#pragma once

#include <cstdint>

namespace vantrel {

// The open parameters of one port, in the byte layout the window fills in.
#pragma pack(push, 1)
struct PortSettings {
    std::uint8_t portNumber;  // COMn; 1 to kMaxPortNumber
    std::uint8_t reserved;    // not read by the port
    std::uint8_t dataBits;    // 5 to 8
    std::uint8_t flowFlags;   // kFlow* bits; other bits are ignored
    std::uint8_t parity;      // kParity*
    std::uint8_t stopBits;    // kStopBits*
    std::uint32_t baudRate;   // bits per second
};
#pragma pack(pop)
static_assert(sizeof(PortSettings) == 10, "PortSettings is a packed 10-byte record");

inline constexpr std::uint8_t kMaxPortNumber = 4;

inline constexpr std::uint8_t kFlowDsrDtr = 0x01;
inline constexpr std::uint8_t kFlowCtsRts = 0x02;
inline constexpr std::uint8_t kFlowXonXoff = 0x04;

inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityOdd = 1;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kParityMark = 3;
inline constexpr std::uint8_t kParitySpace = 4;

inline constexpr std::uint8_t kStopBitsOne = 0;
inline constexpr std::uint8_t kStopBitsOneAndHalf = 1;
inline constexpr std::uint8_t kStopBitsTwo = 2;

// What the window always opens with: 115200 baud, 8N1, no flow control.
constexpr PortSettings DefaultPortSettings(std::uint8_t portNumber) {
    return PortSettings{portNumber, 0, 8, 0, kParityNone, kStopBitsOne, 115200};
}

}  // namespace vantrel
