#include "unit/unit_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_file.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Frame = FrameSelector::Frame;

const char* StepName(SessionState state) {
    switch (state) {
        case kModuleHeader:
            return "header";
        case kBlocks:
            return "blocks";
        case kGlobalEnd:
            return "global-end";
        default:
            return "other";
    }
}

const char* CauseName(SessionEndCause cause) {
    switch (cause) {
        case SessionEndCause::kCompleted:
            return "completed";
        case SessionEndCause::kModuleEndRefused:
            return "module-end-refused";
        case SessionEndCause::kBoxRestarted:
            return "box-restarted";
        case SessionEndCause::kCancelled:
            return "cancelled";
        case SessionEndCause::kNoModuleToSend:
            return "no-module";
    }
    return "?";
}

// The port's events in short, a run of one event written once with its
// count ("ack*65"); frames sent again, whose number depends on timing, as
// "again+". What the window shows of them (status, log, bar) is left out:
// the window tests check it. Heard as a listener of the core or as the unit
// line's observer.
class EventTrail : public UnitObserver, public PortListener {
  public:
    void OnPortEvent(const PortEvent& event) override { OnLineEvent(event); }
    void OnLineEvent(const PortEvent& event) override {
        using namespace port_event;
        const auto& data = event.data;
        if (event.label != "PORT 1") {
            Add("unlabelled");
        } else if (const auto* session = std::get_if<SessionEvent>(&data)) {
            Add(Token(*session));
        } else if (const auto* started = std::get_if<SessionStarted>(&data)) {
            Add("started:" + std::to_string(started->blocks));
        } else if (const auto* ended = std::get_if<SessionEnded>(&data)) {
            const std::string& missing = ended->end.readbackMissing;
            Add(std::string("end:") + CauseName(ended->end.cause) +
                (missing.empty() ? "" : "(missing " + missing + ")"));
        } else if (std::holds_alternative<PortOpened>(data)) {
            Add("opened");
        } else if (std::holds_alternative<PortLost>(data)) {
            Add("lost");
        } else if (std::holds_alternative<LineSilent>(data)) {
            Add("silent");
        } else if (!std::holds_alternative<LogAppended>(data) &&
                   !std::holds_alternative<LogCleared>(data) &&
                   !std::holds_alternative<StatusShown>(data) &&
                   !std::holds_alternative<BusyChanged>(data)) {
            Add("unexpected");
        }
    }
    void OnUnitEnded(const UnitRecord& unit) override { record = unit; }

    std::string Text() const {
        std::string text;
        for (const auto& [token, count] : m_runs) {
            text += (text.empty() ? "" : " ") + token;
            if (token == "again") {
                text += "+";
            } else if (count > 1) {
                text += "*" + std::to_string(count);
            }
        }
        return text;
    }

    std::optional<UnitRecord> record;

  private:
    static std::string Token(const SessionEvent& event) {
        switch (event.kind) {
            case SessionEvent::Kind::kBoxAnnounced:
                return "boot";
            case SessionEvent::Kind::kMovedOn:
                return std::string("to:") + StepName(event.state);
            case SessionEvent::Kind::kBlockAcknowledged:
                return "ack";
            case SessionEvent::Kind::kFrameSentAgain:
                return "again";
            case SessionEvent::Kind::kReadbackBlock:
                return event.stored ? "kept" : "not-kept";
        }
        return "?";
    }

    void Add(const std::string& token) {
        if (!m_runs.empty() && m_runs.back().first == token) {
            ++m_runs.back().second;
        } else {
            m_runs.emplace_back(token, 1);
        }
    }

    std::vector<std::pair<std::string, int>> m_runs;
};

struct OutcomeCase {
    const char* name;
    PeerOptions box;
    std::optional<std::chrono::milliseconds> timeout;
    // Whether the operator presses Cancel once the box has fallen silent.
    bool cancelWhenStuck;
    std::string events;
    UnitOutcome outcome;
    const char* reasonStart;
};

std::vector<OutcomeCase> Cases() {
    const auto box = [](auto change) {
        PeerOptions options = test::InstantOptions();
        change(options);
        return options;
    };
    const std::string boot = "opened started:65 boot to:header to:blocks ";
    std::vector<OutcomeCase> cases = {
        {"completed",
         box([](PeerOptions&) {}),
         {},
         false,
         "ack*65 to:global-end end:completed",
         UnitOutcome::kCompleted,
         "updated: 65 blocks"},
        {"refusedForEver", box([](PeerOptions& o) {
             o.nakAlwaysFrames = {{Frame::kBlock, 3}};
         }),
         300ms, false, "ack*3 again+ end:cancelled", UnitOutcome::kTimedOut,
         "no block acknowledged for 0.3 s: the box refused block 4 of 65 again and again"},
        {"moduleEndRefused",
         box([](PeerOptions& o) { o.nakFrames = {{Frame::kModuleEnd}}; }),
         {},
         false,
         "ack*65 end:module-end-refused",
         UnitOutcome::kFailed,
         "the box refused the module end"},
        {"boxRestarted",
         box([](PeerOptions& o) {
             o.restartFrames = {{Frame::kBlock, 3}};
         }),
         {},
         false,
         "ack*3 end:box-restarted",
         UnitOutcome::kFailed,
         "the box started again at block 3 of 65"},
        {"lineVanished",
         box([](PeerOptions& o) {
             o.vanishFrames = {{Frame::kBlock, 3}};
         }),
         {},
         false,
         "ack*3 lost end:cancelled",
         UnitOutcome::kLineLost,
         "the line was lost at block 3 of 65: "},
        {"cancelledByTheOperator",
         box([](PeerOptions& o) {
             o.silentFrames = {{Frame::kBlock, 5}};
         }),
         {},
         true,
         "ack*5 end:cancelled",
         UnitOutcome::kCancelled,
         "cancelled at block 5 of 65"},
    };
    for (OutcomeCase& c : cases) {
        c.events = boot + c.events;
    }
    cases.push_back({"readbackIncomplete",
                     box([](PeerOptions& o) {
                         o.readback = std::vector<std::uint8_t>(1500, 0x5a);
                         o.readbackBadBlocks = {1};
                     }),
                     {},
                     false,
                     "opened started:65 boot to:header kept not-kept to:global-end "
                     "end:completed(missing 1)",
                     UnitOutcome::kReadbackIncomplete,
                     "the box sent back blocks that were not stored (missing: 1)"});
    cases.push_back({"silentBox", box([](PeerOptions& o) { o.bootDelay = 1h; }), 300ms, false,
                     "opened started:65 silent end:cancelled", UnitOutcome::kTimedOut,
                     "the box sent nothing for 0.3 s, at block 0 of 65"});
    return cases;
}

// The unit line is one listener of the core among others: another one,
// added before it, hears the same events of each update.
TEST(UnitLine, EachOutcomeIsToldToEveryListenerAndEndsInOneRecord) {
    for (const OutcomeCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::StandIn box(c.box);
        UiThreadCalls ui;
        PortCore core(ui, {"PORT 1", "", 100ms});
        EventTrail other;
        core.AddListener(other);
        EventTrail trail;
        UnitLine line(core, ui, UnitRules{c.timeout, false}, &trail);
        core.SetReadbackFile((dir.Path() / "readback.bin").string());
        ASSERT_TRUE(core.Open({1, {box.Path(), DeviceSource::kStationArgument, {}}, std::nullopt}));
        const std::string image = dir.Write("image.bin", test::MakeImageBytes({"LOAD", 66560}));
        box.Run();
        ASSERT_TRUE(core.Start(ImageChoice::Of(image, kImageLoad)));
        ASSERT_TRUE(line.UnitUnderWay());
        const auto stuck = [&] {
            return c.cancelWhenStuck && box.Progress().counters.framesIgnored > 0;
        };
        const auto runPending = [&] { ui.WaitAndRunPending(5ms); };
        ASSERT_TRUE(
            test::WaitUntil([&] { return !line.UnitUnderWay() || stuck(); }, runPending, 10s));
        if (stuck()) {
            core.Cancel();
            ASSERT_TRUE(test::WaitUntil([&] { return !line.UnitUnderWay(); }, runPending, 5s));
        }
        EXPECT_EQ(trail.Text(), c.events);
        EXPECT_EQ(other.Text(), c.events);
        ASSERT_TRUE(trail.record.has_value());
        EXPECT_EQ(trail.record->outcome, c.outcome);
        EXPECT_EQ(trail.record->reason.rfind(c.reasonStart, 0), 0u) << trail.record->reason;
        EXPECT_EQ(trail.record->device, box.Path());
        EXPECT_EQ(trail.record->blocksInImage, 65u);
        core.RemoveListener(other);
    }
}

}  // namespace
}  // namespace vantrel
