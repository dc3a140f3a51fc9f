#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Path of a file in the directory.
    std::string File(std::string_view name) const { return (m_path / name).string(); }
    // Writes `bytes` to the named file and returns its path.
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    std::filesystem::path m_path;
};

// The whole contents of a file, empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace vantrel::test
