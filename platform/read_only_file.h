#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

// A regular file opened for reading, closed when the object goes. Anything
// else (a directory, a FIFO, a device) is refused at open, so that reading
// an operator's choice can neither block nor stream without end.
class ReadOnlyFile {
  public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Returns false (and holds nothing) when the path is not a readable
    // regular file.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }

    // Moves the position to the end and returns it: the file's size; -1 on
    // failure.
    std::int64_t SeekToEnd();
    bool SeekToStart();

    // Reads from the position until `buffer` is full or the file ends;
    // returns the number of bytes read.
    std::size_t Read(std::span<std::uint8_t> buffer);

  private:
    int m_fd = -1;
};

}  // namespace vantrel
