#include "engine/readback_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {

bool SaveReadbackBlock(const std::string& fileName, const ReadbackBlock& block) {
    const int flags =
        block.blockNumber == 0 ? (O_WRONLY | O_CREAT | O_TRUNC) : (O_WRONLY | O_APPEND);
    const int fd = ::open(fileName.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        return false;
    }
    const std::size_t length =
        std::min<std::size_t>({block.dataLength, block.dataAreaSize, block.data.size()});
    std::size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd, block.data.data() + written, length - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && written == length;
}

std::string ReadbackLogLine(const ReadbackBlock& block) {
    return ">>blk(" + std::to_string(block.blockNumber) + "):size(" +
           std::to_string(block.dataLength) + ")\r\n";
}

}  // namespace vantrel
