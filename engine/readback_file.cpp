#include "engine/readback_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/unique_fd.h"

namespace vantrel {
namespace {

// Enough for every session of a long bench day; beyond it something is wrong.
constexpr int kMaxKeptOriginals = 1000;

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string KeptName(const std::string& fileName, int index) {
    return index == 0 ? fileName + ".orig" : fileName + ".orig." + std::to_string(index);
}

// rename() that never replaces an existing file; false with errno set.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag (vfat on a stick, say): look, then move.
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

struct KeptOriginal {
    std::optional<std::string> keptAs;  // nothing when there was no file to keep
    mode_t mode = 0644;                 // for the emptied file that replaces it
    std::string error;
};

// Moves the file out of the way under the first free kept name.
KeptOriginal KeepOriginal(const std::string& fileName) {
    KeptOriginal result;
    struct stat original {};
    if (::stat(fileName.c_str(), &original) != 0) {
        if (errno != ENOENT) {
            result.error = "cannot look at " + fileName + ": " + Reason(errno);
        }
        return result;
    }
    if (!S_ISREG(original.st_mode)) {
        result.error = fileName + " is not a regular file";
        return result;
    }
    result.mode = original.st_mode & 07777;
    for (int index = 0; index < kMaxKeptOriginals; ++index) {
        const std::string keptName = KeptName(fileName, index);
        if (RenameWithoutReplacing(fileName, keptName)) {
            result.keptAs = keptName;
            return result;
        }
        if (errno != EEXIST) {
            result.error = "cannot keep " + fileName + " as " + keptName + ": " + Reason(errno);
            return result;
        }
    }
    result.error = "cannot keep " + fileName + ": " + KeptName(fileName, kMaxKeptOriginals - 1) +
                   " and every name before it exist";
    return result;
}

// Opens the readback file for writing; never blocks, and only a regular
// file is taken (a FIFO put in its place would hold the window for ever).
UniqueFd OpenForWriting(const std::string& fileName, int extraFlags, mode_t mode,
                        std::string& error) {
    UniqueFd fd(
        ::open(fileName.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags, mode));
    if (!fd.IsValid()) {
        error = "cannot open " + fileName + ": " + Reason(errno);
        return fd;
    }
    struct stat opened {};
    if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
        error = fileName + " is not a regular file";
        fd.Reset();
    }
    return fd;
}

std::string WriteAt(int fd, std::span<const std::uint8_t> bytes, off_t offset,
                    const std::string& fileName) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + written, bytes.size() - written,
                                   offset + static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return "cannot write " + fileName + ": " + Reason(errno);
        }
        if (n == 0) {
            return "cannot write " + fileName + ": only " + std::to_string(written) + " of " +
                   std::to_string(bytes.size()) + " bytes were written";
        }
        written += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace

void ReadbackFile::Reset() {
    m_fileName.reset();
    m_targetName.clear();
    m_stored.clear();
}

void ReadbackFile::Note(std::uint32_t blockNumber, bool stored) {
    if (m_stored.size() <= blockNumber) {
        m_stored.resize(std::size_t{blockNumber} + 1, false);
    }
    m_stored[blockNumber] = m_stored[blockNumber] || stored;
}

ReadbackSave ReadbackFile::Save(const std::optional<std::string>& imageFile,
                                const ReadbackBlock& block) {
    ReadbackSave save = Store(imageFile, block);
    Note(block.blockNumber, save.stored);
    return save;
}

ReadbackSave ReadbackFile::Store(const std::optional<std::string>& imageFile,
                                 const ReadbackBlock& block) {
    ReadbackSave save;
    UniqueFd fd;
    if (m_fileName) {
        fd = OpenForWriting(*m_fileName, 0, 0, save.error);
    } else if (!imageFile || imageFile->empty()) {
        save.error = "no image file is being written in this session";
    } else {
        m_targetName = *imageFile;
        KeptOriginal kept = KeepOriginal(*imageFile);
        save.error = kept.error;
        save.keptOriginal = std::move(kept.keptAs);
        if (save.error.empty()) {
            fd = OpenForWriting(*imageFile, O_CREAT | O_TRUNC, kept.mode, save.error);
        }
        if (fd.IsValid()) {
            m_fileName = *imageFile;
        }
    }
    if (!fd.IsValid()) {
        return save;
    }

    const std::size_t length =
        std::min<std::size_t>({block.dataLength, block.dataAreaSize, block.data.size()});
    const off_t offset = static_cast<off_t>(block.blockNumber) * block.dataAreaSize;
    save.error = WriteAt(fd.Get(), block.data.first(length), offset, *m_fileName);
    // A file system may only report a failed write when the file is closed.
    if (::close(fd.Release()) != 0 && save.error.empty()) {
        save.error = "cannot write " + *m_fileName + ": " + Reason(errno);
    }
    save.stored = save.error.empty();
    return save;
}

ReadbackFile::Missing ReadbackFile::MissingBlocks() const {
    Missing missing;
    std::string& ranges = missing.ranges;
    std::size_t& count = missing.count;
    for (std::size_t first = 0; first < m_stored.size(); ++first) {
        if (m_stored[first]) {
            continue;
        }
        std::size_t last = first;
        while (last + 1 < m_stored.size() && !m_stored[last + 1]) {
            ++last;
        }
        ranges += (ranges.empty() ? "" : ", ") + std::to_string(first);
        if (last > first) {
            ranges += "-" + std::to_string(last);
        }
        count += last - first + 1;
        first = last;
    }
    return missing;
}

std::string ReadbackFile::MissingBlocksLogLine() const {
    const Missing missing = MissingBlocks();
    if (missing.count == 0) {
        return {};
    }
    const std::string& file = m_targetName.empty() ? "the readback file" : m_targetName;
    return "Readback into " + file + ": " + (missing.count == 1 ? "block " : "blocks ") +
           missing.ranges + (missing.count == 1 ? " is" : " are") + " missing\r\n";
}

std::string ReadbackLogLine(const ReadbackBlock& block) {
    return ">>blk(" + std::to_string(block.blockNumber) + "):size(" +
           std::to_string(block.dataLength) + ")\r\n";
}

}  // namespace vantrel
