#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

// Shared by the fuzz targets: a hard check and a scratch directory.
namespace vantrel::fuzz {

// A broken invariant is a finding: abort, so that libFuzzer keeps the input.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// One directory per fuzzing process, under TMPDIR, emptied before each input
// so that files the code under test leaves behind do not pile up, and
// removed when the process exits.
class ScratchDir {
  public:
    static ScratchDir& Get() {
        static ScratchDir dir;
        return dir;
    }

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(std::string_view name) const { return (m_path / name).string(); }

    void Clear() const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(m_path, error)) {
            std::filesystem::remove_all(entry.path(), error);
        }
        Require(!error, "scratch directory cleared");
    }

    std::string Write(std::string_view name, std::span<const std::uint8_t> bytes) const {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        Require(out.good(), "scratch file written");
        return path;
    }

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

  private:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantrel-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "scratch directory created");
        m_path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    std::filesystem::path m_path;
};

}  // namespace vantrel::fuzz
