#include "boxsim/pty_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vantrel {

std::optional<PtyLink> PtyLink::Make(const std::string& path, const std::string& farEnd,
                                     std::string& error) {
    if (::symlink(farEnd.c_str(), path.c_str()) != 0) {
        error = "cannot make the link " + path + " to " + farEnd + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return PtyLink(path);
}

PtyLink::PtyLink(PtyLink&& other) noexcept : m_path(std::exchange(other.m_path, {})) {}

PtyLink& PtyLink::operator=(PtyLink&& other) noexcept {
    std::swap(m_path, other.m_path);
    return *this;
}

PtyLink::~PtyLink() {
    if (!m_path.empty()) {
        ::unlink(m_path.c_str());
    }
}

}  // namespace vantrel
