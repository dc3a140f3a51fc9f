#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "boxsim/pty_line.h"
#include "serial/comm.h"
#include "tests/serial/ui_thread_harness.h"
#include "tests/support/held_device.h"
#include "tests/support/pty_peer.h"
#include "tests/support/stand_in.h"

namespace vantrel {
namespace {

PortSettings Line(std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                  std::uint8_t stopBits, std::uint8_t flow = 0) {
    return PortSettings{1, 0, dataBits, flow, parity, stopBits, baud};
}

class CommOpenTest : public ::testing::Test {
  protected:
    test::UiThreadHarness ui;  // outlives the ports
    test::PtyPeer peer{1};
    CComm port{ui.Calls()};
};

// A pty keeps everything but the character size and the parity enable,
// which the pure line tests cover.
TEST_F(CommOpenTest, AppliesTheLineSettingsToTheDevice) {
    constexpr tcflag_t kKept = PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    const struct {
        const char* name;
        PortSettings settings;
        speed_t speed;
        tcflag_t control;
        tcflag_t input;
    } cases[] = {
        {"window default", DefaultPortSettings(1), B115200, CLOCAL | CREAD, 0},
        {"7O1", Line(9600, 7, kParityOdd, kStopBitsOne), B9600, PARODD | CLOCAL | CREAD, INPCK},
        {"8E2", Line(57600, 8, kParityEven, kStopBitsTwo), B57600, CSTOPB | CLOCAL | CREAD, INPCK},
        {"mark", Line(19200, 8, kParityMark, kStopBitsOne), B19200,
         PARODD | CMSPAR | CLOCAL | CREAD, INPCK},
        {"space, 5 bits", Line(4800, 5, kParitySpace, kStopBitsTwo), B4800,
         CMSPAR | CSTOPB | CLOCAL | CREAD, INPCK},
        {"CTS/RTS", Line(230400, 8, kParityNone, kStopBitsOne, kFlowCtsRts), B230400,
         CRTSCTS | CLOCAL | CREAD, 0},
        {"XON/XOFF", Line(38400, 8, kParityNone, kStopBitsOne, kFlowXonXoff), B38400,
         CLOCAL | CREAD, IXON | IXOFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(port.OpenPort(c.settings), 0) << DescribeOpenError(port.LastOpenError());
        EXPECT_EQ(port.IsConnected(), 1);
        const termios line = peer.SlaveSettings();
        EXPECT_EQ(cfgetospeed(&line), c.speed);
        EXPECT_EQ(cfgetispeed(&line), c.speed);
        EXPECT_EQ(line.c_cflag & kKept, c.control);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK | ICRNL), c.input);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
        EXPECT_EQ(line.c_cc[VSTART], 0x11);
        EXPECT_EQ(line.c_cc[VSTOP], 0x13);
        port.ClosePort();
        EXPECT_EQ(port.IsConnected(), 0);
    }
}

TEST_F(CommOpenTest, RefusedSettingsFailTheOpenAndLeaveTheDeviceFree) {
    const struct {
        const char* name;
        PortSettings settings;
        SettingsFault fault;
    } cases[] = {
        {"baud", Line(12345, 8, kParityNone, kStopBitsOne), SettingsFault::kBaudRate},
        {"data bits", Line(9600, 9, kParityNone, kStopBitsOne), SettingsFault::kDataBits},
        {"parity", Line(9600, 8, 5, kStopBitsOne), SettingsFault::kParity},
        {"1.5 stop bits", Line(9600, 8, kParityNone, kStopBitsOneAndHalf),
         SettingsFault::kOneAndHalfStopBits},
        {"DSR/DTR", Line(9600, 8, kParityNone, kStopBitsOne, kFlowDsrDtr),
         SettingsFault::kDsrDtrFlow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(port.OpenPort(c.settings), 0);
        EXPECT_EQ(port.IsConnected(), 0);
        EXPECT_EQ(port.LastOpenError().kind, OpenErrorKind::kSettingsRefused);
        EXPECT_EQ(port.LastOpenError().fault, c.fault);
        CComm other(ui.Calls());
        EXPECT_NE(other.OpenPort(DefaultPortSettings(1)), 0)
            << DescribeOpenError(other.LastOpenError());
    }
}

TEST_F(CommOpenTest, RefusesPortNumbersOutsideOneToFourWithoutTouchingADevice) {
    for (int number = 0; number <= 255; ++number) {
        if (number >= 1 && number <= kMaxPortNumber) {
            continue;
        }
        test::MapPort(number, peer.SlavePath());  // a working device must not tempt it
        EXPECT_EQ(port.OpenPort(DefaultPortSettings(static_cast<std::uint8_t>(number))), 0);
        EXPECT_EQ(port.LastOpenError().kind, OpenErrorKind::kPortNumberRefused) << number;
        EXPECT_TRUE(port.LastOpenError().device.empty()) << number;
    }
}

TEST_F(CommOpenTest, ReportsMissingAndWrongDevices) {
    const struct {
        const char* device;
        OpenErrorKind kind;
    } cases[] = {
        {"/nonexistent-vantrel-dir/ttyUSB0", OpenErrorKind::kNoSuchDevice},
        {"/dev/null", OpenErrorKind::kNotATerminal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        test::MapPort(2, c.device);
        EXPECT_EQ(port.OpenPort(DefaultPortSettings(2)), 0);
        EXPECT_EQ(port.LastOpenError().kind, c.kind);
        EXPECT_EQ(port.LastOpenError().device, c.device);
        EXPECT_EQ(port.IsConnected(), 0);
    }
}

// A reopen after the stand-in has gone finds no such device through its
// link, never the pty that the kernel gave its number to meanwhile.
TEST_F(CommOpenTest, AStandInThatHasGoneIsNoSuchDeviceWhateverPtysComeAfter) {
    std::optional<test::StandIn> box(std::in_place, test::InstantOptions(), 2);
    const std::string link = box->Path();
    box.reset();
    std::vector<PtyLine> others;
    for (int i = 0; i < 4; ++i) {
        std::string error;
        std::optional<PtyLine> pty = CreatePtyLine(error);
        ASSERT_TRUE(pty) << error;
        others.push_back(std::move(*pty));
    }
    test::MapPort(2, link);
    EXPECT_EQ(port.OpenPort(DefaultPortSettings(2)), 0);
    EXPECT_EQ(port.LastOpenError().kind, OpenErrorKind::kNoSuchDevice)
        << DescribeOpenError(port.LastOpenError());
}

TEST_F(CommOpenTest, ASecondOpenInThisProgramIsRefusedAndNamesUs) {
    ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0);
    CComm second(ui.Calls());
    EXPECT_EQ(second.OpenPort(DefaultPortSettings(1)), 0);
    const OpenError& error = second.LastOpenError();
    EXPECT_EQ(error.kind, OpenErrorKind::kInUse);
    ASSERT_TRUE(error.holder.has_value());
    EXPECT_EQ(error.holder->pid, ::getpid());
    EXPECT_TRUE(error.holder->isThisProcess);

    port.ClosePort();
    EXPECT_NE(second.OpenPort(DefaultPortSettings(1)), 0);
}

TEST_F(CommOpenTest, ADeviceHeldByAnotherProcessIsRefusedAndNamesIt) {
    test::HeldDevice holder(peer.SlavePath(), test::HeldDevice::Lock::kExclusive);
    ASSERT_TRUE(holder.Held());

    EXPECT_EQ(port.OpenPort(DefaultPortSettings(1)), 0);
    const OpenError& error = port.LastOpenError();
    EXPECT_EQ(error.kind, OpenErrorKind::kInUse);
    ASSERT_TRUE(error.holder.has_value());
    EXPECT_EQ(error.holder->pid, holder.Pid());
    EXPECT_FALSE(error.holder->isThisProcess);

    ASSERT_TRUE(holder.Release());
    EXPECT_NE(port.OpenPort(DefaultPortSettings(1)), 0);
}

// As root, TIOCEXCL alone would let the other process in. Only
// async-signal-safe calls happen between fork() and _exit().
TEST_F(CommOpenTest, AnotherProcessCannotHaveTheOpenPort) {
    ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool refused =
            fd < 0 ? errno == EBUSY : ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process got the device";
}

}  // namespace
}  // namespace vantrel
