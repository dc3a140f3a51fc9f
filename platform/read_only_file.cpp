#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel {

ReadOnlyFile::~ReadOnlyFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ReadOnlyFile::Open(const std::string& path) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; the
    // regular-file check below then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    return true;
}

std::int64_t ReadOnlyFile::SeekToEnd() {
    return m_fd < 0 ? -1 : static_cast<std::int64_t>(::lseek(m_fd, 0, SEEK_END));
}

bool ReadOnlyFile::SeekToStart() {
    return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_SET) == 0;
}

std::size_t ReadOnlyFile::Read(std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (m_fd >= 0 && total < buffer.size()) {
        const ssize_t n = ::read(m_fd, buffer.data() + total, buffer.size() - total);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return total;
}

}  // namespace vantrel
