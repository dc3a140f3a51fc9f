#include "station/progress_throttle.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// One step at a time on a clock of the test's own: a slot's progress held,
// its unit's end, or what is due then.
struct Step {
    std::chrono::milliseconds at;
    enum { kHold, kDrop, kDue } action;
    std::string label;
    std::uint32_t blocksDone = 0;
    std::vector<std::string> due = {};  // "label done" passed on, kDue only
};

TEST(ProgressThrottle, EachSlotAtMostOnceASecondAndOnlyWhenItMoved) {
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"the first at once, the next a second later, the latest of them",
         {{0ms, Step::kHold, "A1", 1},
          {0ms, Step::kDue, "", 0, {"A1 1"}},
          {100ms, Step::kHold, "A1", 2},
          {200ms, Step::kHold, "A1", 3},
          {500ms, Step::kDue, "", 0, {}},
          {1000ms, Step::kDue, "", 0, {"A1 3"}}}},
        {"unchanged since the last one passed on: nothing",
         {{0ms, Step::kHold, "A1", 5},
          {0ms, Step::kDue, "", 0, {"A1 5"}},
          {1500ms, Step::kHold, "A1", 5},
          {1500ms, Step::kDue, "", 0, {}}}},
        {"slots apart",
         {{0ms, Step::kHold, "A1", 1},
          {0ms, Step::kDue, "", 0, {"A1 1"}},
          {300ms, Step::kHold, "A1", 2},
          {300ms, Step::kHold, "B2", 7},
          {300ms, Step::kDue, "", 0, {"B2 7"}},
          {1000ms, Step::kDue, "", 0, {"A1 2"}}}},
        {"a unit's end drops what was held",
         {{0ms, Step::kHold, "A1", 1},
          {0ms, Step::kDue, "", 0, {"A1 1"}},
          {400ms, Step::kHold, "A1", 65},
          {500ms, Step::kDrop, "A1"},
          {2000ms, Step::kDue, "", 0, {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgressThrottle throttle(1s);
        const auto start = ProgressThrottle::Clock::now();
        for (const Step& step : c.steps) {
            switch (step.action) {
                case Step::kHold: {
                    StationEvent event;
                    event.kind = StationEvent::Kind::kProgress;
                    event.label = step.label;
                    event.progress = {step.blocksDone, 65, 0};
                    throttle.Hold(std::move(event));
                    break;
                }
                case Step::kDrop:
                    throttle.Drop(step.label);
                    break;
                case Step::kDue: {
                    std::vector<std::string> due;
                    for (const StationEvent& event : throttle.Due(start + step.at)) {
                        due.push_back(event.label + " " +
                                      std::to_string(event.progress.blocksDone));
                    }
                    EXPECT_EQ(due, step.due) << "at " << step.at.count() << " ms";
                    break;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
