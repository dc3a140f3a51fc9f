#include "platform/one_shot_timer.h"

#include <gtest/gtest.h>

#include "tests/support/thread_count.h"
#include "tests/support/wait_until.h"
#include "tests/support/wake_counter.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// The test's thread is the UI thread. Wakes are counted, so a test can wait
// for an expiry to be posted without running it.
class OneShotTimerTest : public ::testing::Test {
  protected:
    bool RunUntil(const std::function<bool()>& done) {
        return test::WaitUntil(
            done, [this] { ui.WaitAndRunPending(5ms); }, 5s);
    }

    test::WakeCounter wakes;  // outlives the calls it counts for
    UiThreadCalls ui{wakes.Wake()};
    int expired = 0;
    bool onUiThread = false;
    OneShotTimer timer{ui, [this] {
                           ++expired;
                           onUiThread = ui.IsUiThread();
                       }};
};

TEST_F(OneShotTimerTest, ExpiresOnTheUiThreadAndItsThreadEnds) {
    const std::size_t idle = test::ThreadCount();
    EXPECT_FALSE(timer.Pending());
    timer.Start(1ms);
    EXPECT_TRUE(timer.Pending());
    ASSERT_TRUE(RunUntil([&] { return expired == 1; }));
    EXPECT_TRUE(onUiThread);
    EXPECT_FALSE(timer.Pending());
    ASSERT_TRUE(RunUntil([&] { return test::ThreadCount() == idle; }))
        << "the count's thread ends after its expiry";
    EXPECT_EQ(wakes.Now(), 1) << "one expiry per start";

    timer.Start(1ms);
    ASSERT_TRUE(RunUntil([&] { return expired == 2; })) << "started again, it counts again";
}

// An expiry already posted but not yet run belongs to the count it ended.
TEST_F(OneShotTimerTest, AnExpiryOnItsWayIsDroppedByStartAndByStop) {
    const struct {
        const char* what;
        bool restart;
    } cases[] = {{"started again", true}, {"stopped", false}};
    const std::size_t idle = test::ThreadCount();
    for (const auto& c : cases) {
        const int wakesBefore = wakes.Now();
        timer.Start(0ms);
        ASSERT_TRUE(wakes.WaitFor(wakesBefore + 1)) << c.what;
        if (c.restart) {
            timer.Start(1h);
        } else {
            timer.Stop();
        }
        ui.RunPending();
        EXPECT_EQ(expired, 0) << c.what;
        EXPECT_EQ(timer.Pending(), c.restart) << c.what;
        EXPECT_EQ(test::ThreadCount(), idle + (c.restart ? 1 : 0)) << c.what;
        timer.Stop();
    }
}

TEST_F(OneShotTimerTest, StartDuringACountMovesItsDeadline) {
    timer.Start(1h);
    timer.Start(1ms);
    ASSERT_TRUE(RunUntil([&] { return expired == 1; })) << "the later, shorter count expires";
}

TEST(OneShotTimer, StopAndDestructionJoinARunningCount) {
    UiThreadCalls ui;
    const std::size_t idle = test::ThreadCount();
    int expired = 0;
    {
        OneShotTimer timer(ui, [&] { ++expired; });
        timer.Start(1h);
        EXPECT_EQ(test::ThreadCount(), idle + 1);
        timer.Stop();
        EXPECT_EQ(test::ThreadCount(), idle);
        EXPECT_FALSE(timer.Pending());
        timer.Start(1h);
    }
    EXPECT_EQ(test::ThreadCount(), idle) << "the destructor joined the count";
    ui.RunPending();
    EXPECT_EQ(expired, 0);
}

}  // namespace
}  // namespace vantrel
