#include "platform/stop_signal.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

namespace vantrel {
namespace {

bool Raised(int signal) {
    pollfd entry{signal, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(StopSignal, StaysRaisedForEveryWaiterOnceRaised) {
    const UniqueFd signal = CreateStopSignal();
    ASSERT_TRUE(signal.IsValid());
    EXPECT_FALSE(Raised(signal.Get()));

    std::thread raiser([&] { RaiseStopSignal(signal.Get()); });
    pollfd entry{signal.Get(), POLLIN, 0};
    EXPECT_EQ(::poll(&entry, 1, 5000), 1) << "a waiting poll() wakes";
    raiser.join();

    RaiseStopSignal(signal.Get());
    EXPECT_TRUE(Raised(signal.Get())) << "raising again is harmless";
    EXPECT_TRUE(Raised(signal.Get())) << "a poll does not consume it";
}

}  // namespace
}  // namespace vantrel
