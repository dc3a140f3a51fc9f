#include "serial/exclusive_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vantrel {
namespace {

OpenErrorKind KindOfOpenFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenErrorKind::kNoSuchDevice;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenErrorKind::kPermissionDenied;
        case EBUSY:
            return OpenErrorKind::kInUse;
        default:
            return OpenErrorKind::kCannotOpen;
    }
}

DeviceOpenResult Failure(OpenErrorKind kind, int error, const std::string& path) {
    DeviceOpenResult result;
    result.failure = kind;
    result.error = error;
    if (kind == OpenErrorKind::kInUse) {
        result.holder = FindDeviceHolder(path);
    }
    return result;
}

}  // namespace

DeviceOpenResult OpenDeviceExclusive(const std::string& path) {
    UniqueFd device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device.IsValid()) {
        const int error = errno;
        return Failure(KindOfOpenFailure(error), error, path);
    }
    if (::isatty(device.Get()) == 0) {
        return Failure(OpenErrorKind::kNotATerminal, ENOTTY, path);
    }
    if (::flock(device.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        device.Reset();  // so that the search for the holder does not find us
        return Failure(error == EWOULDBLOCK ? OpenErrorKind::kInUse : OpenErrorKind::kCannotOpen,
                       error, path);
    }
    ::ioctl(device.Get(), TIOCEXCL);
    DeviceOpenResult result;
    result.device = std::move(device);
    return result;
}

}  // namespace vantrel
