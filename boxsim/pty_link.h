#pragma once

#include <optional>
#include <string>

namespace vantrel {

// A symbolic link to a pseudo-terminal's far end, removed before the pty
// closes: a tool that opens it again once the stand-in has gone finds no
// such device, never the next pty that the kernel gives the same number.
class PtyLink {
  public:
    // Nothing, with the reason in `error`, when `path` exists already or
    // cannot be made.
    static std::optional<PtyLink> Make(const std::string& path, const std::string& farEnd,
                                       std::string& error);
    ~PtyLink();
    PtyLink(PtyLink&& other) noexcept;
    PtyLink& operator=(PtyLink&& other) noexcept;
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    const std::string& Path() const { return m_path; }

  private:
    explicit PtyLink(std::string path) : m_path(std::move(path)) {}
    std::string m_path;  // empty once moved from
};

}  // namespace vantrel
