#include "ports/sysfs_attribute.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

std::optional<std::string> ReadSysfsAttribute(const std::string& syspath, const std::string& name) {
    const std::string path = syspath + "/" + name;
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::string value(kMaxAttributeBytes, '\0');
    std::size_t filled = 0;
    while (filled < value.size()) {
        const ssize_t got = ::read(file.Get(), value.data() + filled, value.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    value.resize(filled);
    if (!value.empty() && value.back() == '\n') {
        value.pop_back();
    }
    return value;
}

std::optional<int> ParseBoundedNumber(const std::string& text, int maximum) {
    const std::size_t first = text.find_first_not_of(" \t\n");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t last = text.find_last_not_of(" \t\n");
    int value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
        if (value > maximum) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace vantrel
