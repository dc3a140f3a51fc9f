#include "serial/kernel_serial.h"

#include <linux/major.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vantrel {

std::optional<LineCounters> ReadLineCounters(int fd) {
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) != 0) {
        return std::nullopt;
    }
    const auto count = [](int value) { return static_cast<std::uint32_t>(value); };
    LineCounters counters;
    counters.cts = count(counts.cts);
    counters.dsr = count(counts.dsr);
    counters.ring = count(counts.rng);
    counters.carrier = count(counts.dcd);
    counters.breaks = count(counts.brk);
    counters.frameErrors = count(counts.frame);
    counters.overruns = count(counts.overrun);
    counters.parityErrors = count(counts.parity);
    counters.bufferOverruns = count(counts.buf_overrun);
    return counters;
}

void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        return;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

bool IsPseudoTerminal(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return false;
    }
    const unsigned deviceMajor = major(status.st_rdev);
    return deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
           deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

}  // namespace vantrel
