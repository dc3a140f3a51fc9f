#include "serial/line_settings.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

PortSettings Line(std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                  std::uint8_t stopBits, std::uint8_t flow = 0) {
    return PortSettings{1, 0, dataBits, flow, parity, stopBits, baud};
}

struct TakenCase {
    const char* name;
    PortSettings settings;
    speed_t speed;
    tcflag_t controlBits;  // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS
    tcflag_t inputBits;    // of IXON | IXOFF | INPCK
};

constexpr tcflag_t kFormatBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

const TakenCase kTaken[] = {
    {"8N1 at 115200", Line(115200, 8, kParityNone, kStopBitsOne), B115200, CS8, 0},
    {"7O1", Line(9600, 7, kParityOdd, kStopBitsOne), B9600, CS7 | PARENB | PARODD, INPCK},
    {"6E2", Line(300, 6, kParityEven, kStopBitsTwo), B300, CS6 | PARENB | CSTOPB, INPCK},
    {"5 mark 1", Line(4800, 5, kParityMark, kStopBitsOne), B4800, CS5 | PARENB | PARODD | CMSPAR,
     INPCK},
    {"8 space 2", Line(57600, 8, kParitySpace, kStopBitsTwo), B57600,
     CS8 | PARENB | CMSPAR | CSTOPB, INPCK},
    {"CTS/RTS", Line(921600, 8, kParityNone, kStopBitsOne, kFlowCtsRts), B921600, CS8 | CRTSCTS, 0},
    {"XON/XOFF", Line(19200, 8, kParityNone, kStopBitsOne, kFlowXonXoff), B19200, CS8,
     IXON | IXOFF},
    {"unknown flow bits ignored", Line(38400, 8, kParityNone, kStopBitsOne, 0xF8), B38400, CS8, 0},
};

TEST(ConfigureTermios, BuildsTheRequestedRawLine) {
    for (const TakenCase& c : kTaken) {
        SCOPED_TRACE(c.name);
        termios tio{};
        tio.c_lflag = ICANON | ECHO | ISIG;  // a cooked line to start from
        tio.c_iflag = ICRNL | IXANY;
        tio.c_oflag = OPOST;
        ASSERT_EQ(ConfigureTermios(c.settings, tio), SettingsFault::kNone);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & kFormatBits, c.controlBits);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | INPCK | ICRNL), c.inputBits);
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        EXPECT_EQ(tio.c_cc[VSTART], 0x11);
        EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    }
}

struct RefusedCase {
    const char* name;
    PortSettings settings;
    SettingsFault fault;
};

const RefusedCase kRefused[] = {
    {"baud 12345", Line(12345, 8, kParityNone, kStopBitsOne), SettingsFault::kBaudRate},
    {"baud 0", Line(0, 8, kParityNone, kStopBitsOne), SettingsFault::kBaudRate},
    {"4 data bits", Line(9600, 4, kParityNone, kStopBitsOne), SettingsFault::kDataBits},
    {"9 data bits", Line(9600, 9, kParityNone, kStopBitsOne), SettingsFault::kDataBits},
    {"parity 5", Line(9600, 8, 5, kStopBitsOne), SettingsFault::kParity},
    {"1.5 stop bits", Line(9600, 8, kParityNone, kStopBitsOneAndHalf),
     SettingsFault::kOneAndHalfStopBits},
    {"stop bits 3", Line(9600, 8, kParityNone, 3), SettingsFault::kStopBits},
    {"DSR/DTR", Line(9600, 8, kParityNone, kStopBitsOne, kFlowDsrDtr), SettingsFault::kDsrDtrFlow},
};

TEST(ConfigureTermios, RefusesWhatTheLineCannotTake) {
    for (const RefusedCase& c : kRefused) {
        SCOPED_TRACE(c.name);
        termios tio{};
        EXPECT_EQ(ConfigureTermios(c.settings, tio), c.fault);
    }
}

TEST(DriverKeptSettings, IgnoresOnlyWhatAPseudoTerminalCannotKeep) {
    termios wanted{};
    ASSERT_EQ(ConfigureTermios(Line(9600, 7, kParityEven, kStopBitsTwo), wanted),
              SettingsFault::kNone);
    termios asPty = wanted;  // a pty forces 8 bits and drops the parity enable
    asPty.c_cflag = (asPty.c_cflag & ~(CSIZE | PARENB)) | CS8;
    termios slower = wanted;
    cfsetospeed(&slower, B4800);
    termios oneStopBit = wanted;
    oneStopBit.c_cflag &= ~CSTOPB;

    struct {
        const char* name;
        const termios& actual;
        bool pseudoTerminal;
        bool kept;
    } const cases[] = {
        {"same", wanted, false, true},
        {"pty format on a serial port", asPty, false, false},
        {"pty format on a pty", asPty, true, true},
        {"other speed", slower, true, false},
        {"stop bits dropped", oneStopBit, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DriverKeptSettings(wanted, c.actual, c.pseudoTerminal), c.kept);
    }
}

}  // namespace
}  // namespace vantrel
