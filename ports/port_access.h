#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "ports/detected_port.h"

namespace vantrel {

// Who owns a device node and what its permission bits allow.
struct NodeOwnership {
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// The effective user and all of its groups, primary and supplementary.
struct UserCredentials {
    uid_t uid = 0;
    std::vector<gid_t> groups;
};

struct AccessDecision {
    bool mayOpen = false;
    std::optional<gid_t> groupToJoin;  // when not allowed: the group that would allow it
};

// Whether `user` may open the node read-write, as the kernel decides it: root
// always may; otherwise the owner's bits apply to the owner, the group's bits
// to members and the others' bits to the rest, the first class that matches
// deciding alone. Joining the group helps only a user who is neither the
// owner nor already a member, and only when the group's bits allow it.
AccessDecision DecideReadWriteAccess(const NodeOwnership& node, const UserCredentials& user);

// The credentials of this process.
UserCredentials CurrentUserCredentials();

// The group's name, or its number when the group database has none.
std::string GroupName(gid_t group);

// The access of this process to `device` and the process holding it, if
// any. A node that cannot be looked at cannot be opened either.
PortAccess ReadPortAccess(const std::string& device);

}  // namespace vantrel
