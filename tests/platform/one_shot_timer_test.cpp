#include "platform/one_shot_timer.h"

#include <gtest/gtest.h>

#include "tests/support/thread_count.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// The test's thread is the UI thread.
class OneShotTimerTest : public ::testing::Test {
  protected:
    bool RunUntil(const std::function<bool()>& done) {
        return test::WaitUntil(
            done, [this] { ui.WaitAndRunPending(5ms); }, 5s);
    }

    UiThreadCalls ui;
    int expired = 0;
    bool onUiThread = false;
    OneShotTimer timer{ui, [this] {
                           ++expired;
                           onUiThread = ui.IsUiThread();
                       }};
};

TEST_F(OneShotTimerTest, ExpiresOnTheUiThreadWithoutAThreadOfItsOwn) {
    const std::size_t idle = test::ThreadCount();
    EXPECT_FALSE(timer.Pending());
    timer.Start(1ms);
    EXPECT_TRUE(timer.Pending());
    EXPECT_EQ(test::ThreadCount(), idle);
    ASSERT_TRUE(RunUntil([&] { return expired == 1; }));
    EXPECT_TRUE(onUiThread);
    EXPECT_FALSE(timer.Pending());
    EXPECT_FALSE(ui.NextTimer().has_value());

    timer.Start(1ms);
    ASSERT_TRUE(RunUntil([&] { return expired == 2; })) << "started again, it counts again";
}

// A count that fell due but has not run yet belongs to the start it ended.
TEST_F(OneShotTimerTest, ACountDueIsDroppedByStartAndByStop) {
    const struct {
        const char* what;
        bool restart;
    } cases[] = {{"started again", true}, {"stopped", false}};
    for (const auto& c : cases) {
        timer.Start(0ms);
        if (c.restart) {
            timer.Start(1h);
        } else {
            timer.Stop();
        }
        ui.RunPending();
        EXPECT_EQ(expired, 0) << c.what;
        EXPECT_EQ(timer.Pending(), c.restart) << c.what;
        timer.Stop();
        EXPECT_FALSE(ui.NextTimer().has_value()) << c.what;
    }
}

TEST_F(OneShotTimerTest, StartDuringACountMovesItsDeadline) {
    timer.Start(1h);
    timer.Start(1ms);
    ASSERT_TRUE(RunUntil([&] { return expired == 1; })) << "the later, shorter count expires";
}

TEST(OneShotTimer, ATimerDestroyedWhileCountingNeverRuns) {
    UiThreadCalls ui;
    int expired = 0;
    {
        OneShotTimer timer(ui, [&] { ++expired; });
        timer.Start(0ms);
    }
    EXPECT_FALSE(ui.NextTimer().has_value());
    ui.RunPending();
    EXPECT_EQ(expired, 0);
}

}  // namespace
}  // namespace vantrel
