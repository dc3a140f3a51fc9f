#include "ports/port_access.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {
namespace {

constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;
constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
constexpr mode_t kOtherReadWrite = S_IROTH | S_IWOTH;

bool Allows(mode_t mode, mode_t bits) {
    return (mode & bits) == bits;
}

}  // namespace

AccessDecision DecideReadWriteAccess(const NodeOwnership& node, const UserCredentials& user) {
    if (user.uid == 0) {
        return {true, std::nullopt};
    }
    if (user.uid == node.owner) {
        return {Allows(node.mode, kOwnerReadWrite), std::nullopt};
    }
    const bool member =
        std::find(user.groups.begin(), user.groups.end(), node.group) != user.groups.end();
    if (member) {
        return {Allows(node.mode, kGroupReadWrite), std::nullopt};
    }
    if (Allows(node.mode, kOtherReadWrite)) {
        return {true, std::nullopt};
    }
    if (Allows(node.mode, kGroupReadWrite)) {
        return {false, node.group};
    }
    return {false, std::nullopt};
}

UserCredentials CurrentUserCredentials() {
    UserCredentials user;
    user.uid = ::geteuid();
    user.groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, supplementary.data());
        if (got > 0) {
            user.groups.insert(user.groups.end(), supplementary.begin(),
                               supplementary.begin() + got);
        }
    }
    return user;
}

std::string GroupName(gid_t group) {
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    while (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->gr_name) : std::to_string(group);
}

PortAccess ReadPortAccess(const std::string& device) {
    PortAccess access;
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        access.mayOpen = false;
        return access;
    }
    const AccessDecision decision = DecideReadWriteAccess(
        {status.st_mode, status.st_uid, status.st_gid}, CurrentUserCredentials());
    access.mayOpen = decision.mayOpen;
    if (decision.groupToJoin) {
        access.groupToJoin = GroupName(*decision.groupToJoin);
    }
    access.holder = FindDeviceHolder(device);
    return access;
}

}  // namespace vantrel
