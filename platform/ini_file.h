#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vantrel {

// Read-only accessor of the settings file "Vantrel.ini".
class CIniFile {
  public:
    virtual ~CIniFile() = default;

    void SetPath(std::string path) { m_path = std::move(path); }
    const std::string& Path() const { return m_path; }

    // Reads the key's value into `out` as a zero-terminated text of at most
    // out.size() - 1 characters; a missing file, section or key gives the
    // empty text. Returns the number of characters placed.
    int ReadValue(std::string_view section, std::string_view key, std::span<char> out) const;

  private:
    std::string m_path;
};

// The directory part of a path, up to and including its last '/'; empty when
// the path has none.
std::string DirectoryOfPath(std::string_view path);

}  // namespace vantrel
