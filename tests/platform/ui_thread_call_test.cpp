#include "platform/ui_thread_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <vector>

#include "tests/support/wait_until.h"
#include "tests/support/wake_counter.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// The test's thread is the UI thread; wakes are counted so a test can wait
// for a call to be queued without running it.
class UiThreadCallTest : public ::testing::Test {
  protected:
    bool RunUntil(const std::function<bool()>& done) {
        const auto runPending = [this] { calls.WaitAndRunPending(20ms); };
        return test::WaitUntil(done, runPending, 5s);
    }

    test::WakeCounter wakes;  // outlives the calls it counts for
    UiThreadCalls calls{wakes.Wake()};
    CallGate gate{calls};
};

TEST_F(UiThreadCallTest, ACallRunsOnTheUiThreadAndReturnsAfterIt) {
    const std::thread::id uiThread = std::this_thread::get_id();
    std::thread::id ranOn;
    bool ranBeforeReturn = false;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        ranBeforeReturn =
            calls.Call(gate, [&] { ranOn = std::this_thread::get_id(); }) && ranOn == uiThread;
        done = true;
    });
    ASSERT_TRUE(RunUntil([&] { return done.load(); }));
    caller.join();
    EXPECT_TRUE(ranBeforeReturn);
}

TEST_F(UiThreadCallTest, ManyThreadsCallingAtOnceRunOneAtATimeEachInOrder) {
    constexpr int kThreads = 8;
    constexpr int kCallsEach = 100;
    std::vector<std::vector<int>> seen(kThreads);  // touched on the UI thread only
    int total = 0;
    std::atomic<int> refused{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                if (!calls.Call(gate, [&, t, i] {
                        seen[t].push_back(i);
                        ++total;
                    })) {
                    ++refused;
                }
            }
            ++finished;
        });
    }
    const bool allDone = RunUntil([&] { return finished.load() == kThreads; });
    if (!allDone) {
        gate.Close();  // release the callers so the test fails instead of hanging
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    ASSERT_TRUE(allDone);
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(total, kThreads * kCallsEach);
    for (const std::vector<int>& order : seen) {
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
        EXPECT_EQ(order.size(), static_cast<std::size_t>(kCallsEach));
    }
}

TEST_F(UiThreadCallTest, ClosingTheGateReleasesAWaitingCallerAndItsCallNeverRuns) {
    bool ran = false;
    auto result =
        std::async(std::launch::async, [&] { return calls.Call(gate, [&] { ran = true; }); });
    ASSERT_TRUE(wakes.WaitFor(1));

    gate.Close();
    ASSERT_EQ(result.wait_for(3s), std::future_status::ready) << "the caller still waits";
    EXPECT_FALSE(result.get());
    calls.RunPending();
    EXPECT_FALSE(ran);

    auto refused =
        std::async(std::launch::async, [&] { return calls.Call(gate, [&] { ran = true; }); });
    EXPECT_FALSE(refused.get());
    gate.Open();
    auto passed =
        std::async(std::launch::async, [&] { return calls.Call(gate, [&] { ran = true; }); });
    ASSERT_TRUE(RunUntil([&] { return ran; }));
    EXPECT_TRUE(passed.get());
}

TEST_F(UiThreadCallTest, ClosingOneGateLeavesCallsThroughAnotherAlone) {
    CallGate other(calls);
    std::vector<char> order;
    auto closed = std::async(std::launch::async,
                             [&] { return calls.Call(gate, [&] { order.push_back('g'); }); });
    ASSERT_TRUE(wakes.WaitFor(1));
    auto open = std::async(std::launch::async,
                           [&] { return calls.Call(other, [&] { order.push_back('o'); }); });
    ASSERT_TRUE(wakes.WaitFor(2));

    gate.Close();
    ASSERT_TRUE(RunUntil([&] { return !order.empty(); }));
    EXPECT_FALSE(closed.get());
    EXPECT_TRUE(open.get());
    EXPECT_EQ(order, std::vector<char>{'o'});
}

TEST_F(UiThreadCallTest, TheUiThreadCallingItselfRunsInline) {
    int runs = 0;
    EXPECT_TRUE(calls.Call(gate, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    gate.Close();
    EXPECT_FALSE(calls.Call(gate, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(wakes.Now(), 0) << "nothing was queued";
}

TEST_F(UiThreadCallTest, PostsRunInOrderUnlessTheirGateClosesFirst) {
    CallGate doomed(calls);
    std::vector<int> order;
    std::thread poster([&] {
        calls.Post(gate, [&] { order.push_back(1); });
        calls.Post(doomed, [&] { order.push_back(99); });
        calls.Post(gate, [&] { order.push_back(2); });
    });
    poster.join();
    doomed.Close();
    calls.Post(doomed, [&] { order.push_back(100); });
    calls.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(UiThreadCallTest, ACallThatThrowsStillReleasesItsCaller) {
    auto result = std::async(std::launch::async, [&] {
        return calls.Call(gate, [] { throw std::runtime_error("x"); });
    });
    ASSERT_TRUE(wakes.WaitFor(1));
    EXPECT_THROW(calls.RunPending(), std::runtime_error);
    ASSERT_EQ(result.wait_for(3s), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

}  // namespace
}  // namespace vantrel
