#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

TEST(StopEscalation, StepsUpSignalBySignal) {
    using S = StopStep;
    struct Signal {
        int number;
        std::chrono::milliseconds at;  // since the first
        StopStep step;
    };
    const struct {
        const char* name;
        bool interruptFinishesFirst;
        std::vector<Signal> signals;
    } cases[] = {
        {"Ctrl-C in a loop finishes, a second cancels",
         true,
         {{SIGINT, 0ms, S::kFinishUnderWay},
          {SIGINT, 50ms, S::kCancelUnderWay},
          {SIGINT, 9s, S::kIgnore},
          {SIGINT, 10050ms, S::kEndNow}}},
        {"SIGTERM while finishing cancels",
         true,
         {{SIGINT, 0ms, S::kFinishUnderWay}, {SIGTERM, 20s, S::kCancelUnderWay}}},
        {"Ctrl-C without a loop cancels at once",
         false,
         {{SIGINT, 0ms, S::kCancelUnderWay}, {SIGINT, 1s, S::kIgnore}}},
        {"SIGTERM and SIGHUP cancel, repeats within the grace are ignored",
         true,
         {{SIGTERM, 0ms, S::kCancelUnderWay},
          {SIGHUP, 9999ms, S::kIgnore},
          {SIGTERM, 10s, S::kEndNow}}},
    };
    const auto start = StopEscalation::Clock::now();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StopEscalation escalation(c.interruptFinishesFirst);
        for (const Signal& signal : c.signals) {
            EXPECT_EQ(escalation.Next(signal.number, start + signal.at), signal.step)
                << signal.number << " at " << signal.at.count() << " ms";
        }
    }
}

struct sigaction Disposition(int signal) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now;
}

// Real signals to this process: the handler's byte reaches the UI thread
// as a call, and the dispositions found before come back afterwards.
TEST(StopSignals, ASignalBecomesACallOnTheUiThreadAndTheOldHandlingReturns) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, nullptr);
    {
        UiThreadCalls ui;
        std::vector<StopStep> steps;
        StopSignals signals(ui, /*interruptFinishesFirst=*/true,
                            {[&](StopStep step) {
                                 EXPECT_TRUE(ui.IsUiThread());
                                 steps.push_back(step);
                             },
                             [] { ADD_FAILURE() << "no signal came after the grace"; }});
        const auto until = std::chrono::steady_clock::now() + 10s;
        for (const int signal : {SIGINT, SIGHUP}) {
            const std::size_t before = steps.size();
            ASSERT_EQ(::kill(::getpid(), signal), 0);
            while (steps.size() == before && std::chrono::steady_clock::now() < until) {
                ui.WaitAndRunPending(100ms);
            }
        }
        EXPECT_EQ(steps,
                  (std::vector<StopStep>{StopStep::kFinishUnderWay, StopStep::kCancelUnderWay}));
    }
    EXPECT_EQ(Disposition(SIGHUP).sa_handler, SIG_IGN);
    EXPECT_EQ(Disposition(SIGTERM).sa_handler, SIG_DFL);
    const struct sigaction fallback = Disposition(SIGTERM);
    sigaction(SIGHUP, &fallback, nullptr);
}

}  // namespace
}  // namespace vantrel
