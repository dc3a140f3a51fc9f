#include "serial/line_settings.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vantrel {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kBaudRates{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

bool FindSpeed(std::uint32_t baudRate, speed_t& speed) {
    for (const auto& [rate, code] : kBaudRates) {
        if (rate == baudRate) {
            speed = code;
            return true;
        }
    }
    return false;
}

constexpr std::array<tcflag_t, 4> kCharacterSizes{CS5, CS6, CS7, CS8};

constexpr tcflag_t kComparedControlFlags =
    CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
constexpr tcflag_t kComparedInputFlags = IXON | IXOFF | IXANY | INPCK | ICRNL | ISTRIP;
constexpr tcflag_t kComparedLocalFlags = ICANON | ECHO | ISIG | IEXTEN;

}  // namespace

SettingsFault ConfigureTermios(const PortSettings& settings, termios& tio) {
    speed_t speed{};
    if (!FindSpeed(settings.baudRate, speed)) {
        return SettingsFault::kBaudRate;
    }
    if (settings.dataBits < 5 || settings.dataBits > 8) {
        return SettingsFault::kDataBits;
    }
    if (settings.parity > kParitySpace) {
        return SettingsFault::kParity;
    }
    if (settings.stopBits == kStopBitsOneAndHalf) {
        return SettingsFault::kOneAndHalfStopBits;
    }
    if (settings.stopBits != kStopBitsOne && settings.stopBits != kStopBitsTwo) {
        return SettingsFault::kStopBits;
    }
    if ((settings.flowFlags & kFlowDsrDtr) != 0) {
        return SettingsFault::kDsrDtrFlow;
    }

    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= kCharacterSizes[settings.dataBits - 5] | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);

    switch (settings.parity) {
        case kParityOdd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case kParityEven:
            tio.c_cflag |= PARENB;
            break;
        case kParityMark:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case kParitySpace:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (settings.parity != kParityNone) {
        tio.c_iflag |= INPCK;  // the driver checks the parity of what comes in
    }
    if (settings.stopBits == kStopBitsTwo) {
        tio.c_cflag |= CSTOPB;
    }
    if ((settings.flowFlags & kFlowCtsRts) != 0) {
        tio.c_cflag |= CRTSCTS;
    }
    if ((settings.flowFlags & kFlowXonXoff) != 0) {
        tio.c_iflag |= IXON | IXOFF;
    }
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return SettingsFault::kNone;
}

bool DriverKeptSettings(const termios& wanted, const termios& actual, bool pseudoTerminal) {
    const tcflag_t controlMask =
        pseudoTerminal ? kComparedControlFlags & ~(CSIZE | PARENB) : kComparedControlFlags;
    return (wanted.c_cflag & controlMask) == (actual.c_cflag & controlMask) &&
           (wanted.c_iflag & kComparedInputFlags) == (actual.c_iflag & kComparedInputFlags) &&
           (wanted.c_lflag & kComparedLocalFlags) == (actual.c_lflag & kComparedLocalFlags) &&
           (wanted.c_oflag & OPOST) == (actual.c_oflag & OPOST) &&
           cfgetispeed(&wanted) == cfgetispeed(&actual) &&
           cfgetospeed(&wanted) == cfgetospeed(&actual) &&
           wanted.c_cc[VSTART] == actual.c_cc[VSTART] && wanted.c_cc[VSTOP] == actual.c_cc[VSTOP];
}

}  // namespace vantrel
