#include "ports/port_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/held_device.h"
#include "tests/support/pty_peer.h"

namespace vantrel {
namespace {

constexpr uid_t kOwner = 1000;
constexpr uid_t kStranger = 1001;
constexpr gid_t kDialout = 20;
constexpr gid_t kUsers = 100;

TEST(DecideReadWriteAccessTest, FollowsTheKernelsPermissionClasses) {
    const struct {
        const char* what;
        mode_t mode;
        UserCredentials user;
        bool mayOpen;
        std::optional<gid_t> groupToJoin;
    } cases[] = {
        {"root, no bits at all", 0000, {0, {0}}, true, std::nullopt},
        {"owner with rw", 0600, {kOwner, {kUsers}}, true, std::nullopt},
        {"owner with read only, group rw: joining does not help the owner",
         0460,
         {kOwner, {kUsers}},
         false,
         std::nullopt},
        {"member of a rw group", 0660, {kStranger, {kUsers, kDialout}}, true, std::nullopt},
        {"member, group read only, others rw: the group class decides",
         0646,
         {kStranger, {kDialout}},
         false,
         std::nullopt},
        {"stranger, group rw: join it", 0660, {kStranger, {kUsers}}, false, kDialout},
        {"stranger, group write only", 0620, {kStranger, {kUsers}}, false, std::nullopt},
        {"stranger, others rw", 0606, {kStranger, {kUsers}}, true, std::nullopt},
        {"stranger, others read only, group rw", 0664, {kStranger, {}}, false, kDialout},
        {"stranger, nothing for anyone but the owner",
         0600,
         {kStranger, {kUsers}},
         false,
         std::nullopt},
    };
    for (const auto& c : cases) {
        const AccessDecision decision =
            DecideReadWriteAccess({S_IFCHR | c.mode, kOwner, kDialout}, c.user);
        EXPECT_EQ(decision.mayOpen, c.mayOpen) << c.what;
        EXPECT_EQ(decision.groupToJoin, c.groupToJoin) << c.what;
    }
}

TEST(ReadPortAccessTest, AMissingNodeCannotBeOpened) {
    const PortAccess access = ReadPortAccess("/nonexistent-vantrel-dir/ttyUSB0");
    EXPECT_FALSE(access.mayOpen);
    EXPECT_TRUE(access.groupToJoin.empty());
    EXPECT_FALSE(access.holder.has_value());
}

TEST(ReadPortAccessTest, NamesThisProcessHoldingThePort) {
    test::PtyPeer peer(1);
    EXPECT_FALSE(ReadPortAccess(peer.SlavePath()).holder.has_value());
    const int fd = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const PortAccess access = ReadPortAccess(peer.SlavePath());
    ::close(fd);
    ASSERT_TRUE(access.holder.has_value());
    EXPECT_EQ(access.holder->pid, ::getpid());
    EXPECT_TRUE(access.holder->isThisProcess);
}

TEST(ReadPortAccessTest, NamesAnotherProcessHoldingThePort) {
    test::PtyPeer peer(1);
    test::HeldDevice holder(peer.SlavePath());
    ASSERT_TRUE(holder.Held());

    const PortAccess access = ReadPortAccess(peer.SlavePath());
    ASSERT_TRUE(holder.Release());
    ASSERT_TRUE(access.holder.has_value());
    EXPECT_EQ(access.holder->pid, holder.Pid());
    EXPECT_FALSE(access.holder->isThisProcess);
}

}  // namespace
}  // namespace vantrel
