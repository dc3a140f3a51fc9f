#include "boxsim/pty_line.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace vantrel {
namespace {

std::string Failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::optional<PtyLine> CreatePtyLine(std::string& error) {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.IsValid()) {
        error = Failure("cannot create a pseudo-terminal");
        return std::nullopt;
    }
    if (::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
        error = Failure("cannot unlock the pseudo-terminal");
        return std::nullopt;
    }
    std::array<char, 128> path{};
    if (::ptsname_r(master.Get(), path.data(), path.size()) != 0) {
        error = Failure("cannot name the pseudo-terminal");
        return std::nullopt;
    }
    // Settings made on the master hold for the far end, so the tool finds a
    // raw 115200 8N1 line however it opens it.
    termios settings{};
    if (::tcgetattr(master.Get(), &settings) != 0) {
        error = Failure("cannot read the pseudo-terminal's settings");
        return std::nullopt;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    settings.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(master.Get(), TCSANOW, &settings) != 0) {
        error = Failure("cannot put the pseudo-terminal in raw mode");
        return std::nullopt;
    }
    // The tool empties its queues when it opens the port, so "BOOT" must wait
    // for that open; the watch reports it.
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch.IsValid() || ::inotify_add_watch(watch.Get(), path.data(), IN_OPEN) < 0) {
        error = Failure("cannot watch the pseudo-terminal for the tool's open");
        return std::nullopt;
    }
    return PtyLine{BoxLine(std::move(master), std::move(watch)), path.data()};
}

}  // namespace vantrel
