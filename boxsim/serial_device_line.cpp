#include "boxsim/serial_device_line.h"

#include <fcntl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace vantrel {

std::optional<BoxLine> OpenSerialDeviceLine(const std::string& path, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    termios original{};
    if (::tcgetattr(fd.Get(), &original) != 0) {
        error = path + " is not a serial device: " + std::strerror(errno);
        return std::nullopt;
    }
    termios raw = original;
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B115200);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (::tcsetattr(fd.Get(), TCSANOW, &raw) != 0) {
        error = "cannot set " + path + " to 115200 8N1: " + std::strerror(errno);
        return std::nullopt;
    }
    ::tcflush(fd.Get(), TCIOFLUSH);
    // TCSADRAIN lets the last answer leave the wire before the settings go back.
    return BoxLine(std::move(fd), UniqueFd(),
                   [original](int open) { ::tcsetattr(open, TCSADRAIN, &original); });
}

}  // namespace vantrel
