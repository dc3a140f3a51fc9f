#include "records/unrecorded_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "records/record_report.h"
#include "records/record_store.h"

namespace vantrel {
namespace {

// units-20261209T054500Z-4242.jsonl: the run's start and process; a second
// run in the same second with the same process number (a container) gets
// a number more.
std::string FileName(int attempt) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return "units-" + std::string(stamp) + "-" + std::to_string(::getpid()) +
           (attempt > 0 ? "-" + std::to_string(attempt) : "") + ".jsonl";
}

}  // namespace

UnrecordedFile::UnrecordedFile(std::string folder) : m_folder(std::move(folder)) {}

UnrecordedFile::~UnrecordedFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void UnrecordedFile::Create() {
    if (m_folder.empty()) {
        throw RecordStoreError(
            "no folder for units that are not in the record file: neither "
            "XDG_STATE_HOME nor HOME is set");
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error) {
        throw RecordStoreError("cannot create the folder " + m_folder + ": " + error.message());
    }
    for (int attempt = 0;; ++attempt) {
        const std::string path = (std::filesystem::path(m_folder) / FileName(attempt)).string();
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_path = path;
            return;
        }
        if (errno != EEXIST) {
            throw RecordStoreError("cannot create " + path + ": " + std::strerror(errno));
        }
    }
}

void UnrecordedFile::Append(std::span<const UnitRecord> records) {
    if (m_fd < 0) {
        Create();
    }
    // A line cut short before stays a line of its own, which the import
    // names, rather than the start of the next.
    std::string lines = m_cutShort ? "\n" : "";
    for (const UnitRecord& record : records) {
        lines += FormatUnitJsonLine(record);
    }
    const off_t before = ::lseek(m_fd, 0, SEEK_END);
    std::size_t written = 0;
    while (written < lines.size()) {
        const ssize_t count = ::write(m_fd, lines.data() + written, lines.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int cause = count < 0 ? errno : ENOSPC;
            // No half line stays for the next one to run into.
            const bool undone = before >= 0 && ::ftruncate(m_fd, before) == 0;
            m_cutShort = m_cutShort || (!undone && written > 0);
            throw RecordStoreError("cannot write to " + m_path + ": " + std::strerror(cause) +
                                   (undone ? "" : "; its last line is cut short"));
        }
        written += static_cast<std::size_t>(count);
    }
    m_cutShort = false;
    if (::fsync(m_fd) != 0) {
        throw RecordStoreError("cannot write to " + m_path + ": " + std::strerror(errno));
    }
}

void UnrecordedFile::Remove() {
    if (m_fd < 0) {
        return;
    }
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_path.c_str());
    m_path.clear();
}

}  // namespace vantrel
