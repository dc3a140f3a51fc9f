// The station window offscreen against four stand-ins, one per slot, each
// slot's device a link to its stand-in's pseudo-terminal as a line's stable
// names are: what each tile, the header and the records show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include <signal.h>
#include <unistd.h>

#include "engine/image_digest.h"
#include "engine/image_file.h"
#include "platform/stop_signals.h"
#include "records/record_store_factory.h"
#include "station/qt/slot_tile.h"
#include "station/qt/station_window.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/qt_call_pump.h"

namespace vantrel {
namespace {

using Frame = FrameSelector::Frame;
constexpr int kLimitMs = 60'000;  // only a hang takes this long

// A box that announces itself a second after the port opens, so the slot
// has pressed Start by then, serves one update and then stays on the line,
// silent: the tile's result is held, since no next box announces itself.
PeerOptions Box() {
    PeerOptions options = test::InstantOptions();
    options.bootDelay = std::chrono::milliseconds(1000);
    options.stayAfterEnd = true;
    return options;
}

struct SlotCase {
    const char* name;
    PeerOptions box;
    const char* state;     // the tile's state once the unit has ended
    const char* last;      // how its last result begins
    const char* transfer;  // what its transfer line holds
    const char* counts;
};

QString Text(QWidget* tile, const char* child) {
    return tile->findChild<QLabel*>(QString::fromLatin1(child))->text();
}

class StationWindowTest : public ::testing::Test {
  protected:
    // A slot whose device is the link `name` in the temp folder.
    void AddSlot(const std::string& name, PeerOptions box,
                 std::chrono::milliseconds reopenInterval = std::chrono::minutes(10)) {
        boxes[name] = std::make_unique<test::StandIn>(std::move(box));
        Link(name);
        PortRunnerConfig port;
        port.label = name;
        port.device = GivenDevice{1, dir.File(name), DeviceSource::kStationArgument};
        port.image = ImageChoice::Of(image, kImageLoad);
        // A port that did not open is not tried again within the test: the
        // number of a pseudo-terminal that has gone may be given to another
        // process's at any time.
        port.reopenInterval = reopenInterval;
        port.unitTemplate.imageKind = "LOAD";
        port.unitTemplate.imageSha256 = sha256;
        port.unitTemplate.operatorName = "Ana";
        port.pinnedSha256 = sha256;
        setup.config.ports.push_back(std::move(port));
    }
    // The image, the operator and a record file of the test's own.
    void SetUpStation() {
        setup.image = {image, "LOAD", sha256, false};
        setup.labels.operatorName = "Ana";
        setup.recordTarget.localFile = dir.File("records.sqlite");
        setup.recorder = std::move(
            std::get<std::unique_ptr<UnitRecorder>>(UnitRecorder::Open(setup.recordTarget)));
    }
    std::vector<UnitRecord> Recorded() {
        EXPECT_TRUE(setup.recorder->Flush(std::chrono::seconds(10)));
        return OpenRecordStore(setup.recordTarget, RecordAccess::kRead)->Latest({});
    }
    void Link(const std::string& name) {
        std::filesystem::remove(dir.File(name));
        std::filesystem::create_symlink(boxes[name]->Path(), dir.File(name));
    }

    test::TempDir dir;
    std::string image = dir.Write("load.bin", test::MakeImageBytes({}));
    std::string sha256 = *Sha256OfFile(image);
    std::map<std::string, std::unique_ptr<test::StandIn>> boxes;
    StationSetup setup;
};

TEST_F(StationWindowTest, EachTileHoldsItsResultAndARetryTouchesOnlyItsSlot) {
    PeerOptions nakStorm = Box();
    nakStorm.nakProbability = 0.4;
    PeerOptions vanishing = Box();
    vanishing.vanishFrames = {{Frame::kBlock, 10}};
    PeerOptions refusing = Box();
    refusing.nakFrames = {{Frame::kModuleEnd}};
    const SlotCase cases[] = {
        {"A1", Box(), "done", "last: done in ", "kB/s", "done 1 · failed 0"},
        {"A2", nakStorm, "done", "last: done in ", "sent again", "done 1 · failed 0"},
        // The link's pseudo-terminal is gone: the slot tries to open it again.
        {"B1", vanishing, "not opened", "last: line lost: ", "kB/s", "done 0 · failed 1"},
        {"B2", refusing, "failed", "last: failed: the box refused the module end", "kB/s",
         "done 0 · failed 1"},
    };
    for (const SlotCase& c : cases) {
        AddSlot(c.name, c.box);
    }
    SetUpStation();

    // The box that replaces B2's later, on a pseudo-terminal taken now: one
    // taken later could get the number of B1's, which B1 tries to open again.
    auto replacement = std::make_unique<test::StandIn>(Box());

    StationWindow window(setup, {/*askSerial=*/true});
    window.resize(1100, 800);
    window.show();
    std::map<std::string, QWidget*> tiles;
    for (const SlotCase& c : cases) {
        tiles[c.name] = window.findChild<SlotTile*>(QStringLiteral("slot:") + c.name);
        ASSERT_NE(tiles[c.name], nullptr) << c.name;
        // Scanned while the slot waits for its box: it goes into the unit's record.
        tiles[c.name]
            ->findChild<QLineEdit*>(QStringLiteral("serial"))
            ->setText(QStringLiteral("SN-") + c.name);
    }
    for (auto& [name, box] : boxes) {
        box->Run();
    }
    window.StartAll();
    for (const SlotCase& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* tile = tiles[c.name];
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return Text(tile, "counts") == c.counts && Text(tile, "state") == c.state; },
            kLimitMs))
            << Text(tile, "state").toStdString() << " / " << Text(tile, "counts").toStdString();
        EXPECT_TRUE(Text(tile, "last").startsWith(QString::fromUtf8(c.last)))
            << Text(tile, "last").toStdString();
        EXPECT_TRUE(Text(tile, "transfer").contains(QString::fromUtf8(c.transfer)))
            << Text(tile, "transfer").toStdString();
        EXPECT_TRUE(tile->findChild<QLineEdit*>(QStringLiteral("serial"))->text().isEmpty());
    }
    // tools/take-screenshots.sh keeps the README's picture of the window.
    if (const char* shots = std::getenv("VANTREL_SCREENSHOT_DIR")) {
        tiles["B2"]->findChild<QPushButton*>(QStringLiteral("stop"))->setFocus();
        window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/station-window.png"));
    }
    auto* totals = window.findChild<QLabel*>(QStringLiteral("totals"));
    EXPECT_TRUE(totals->text().startsWith(QStringLiteral("done 2 · failed 2 · yield 50.0 %")))
        << totals->text().toStdString();

    // The refused slot's box is replaced between a Stop and a Start of that
    // slot alone.
    std::map<std::string, std::vector<QString>> before;
    for (const SlotCase& c : cases) {
        for (const char* child : {"state", "last", "counts", "transfer"}) {
            before[c.name].push_back(Text(tiles[c.name], child));
        }
    }
    QWidget* retried = tiles["B2"];
    retried->findChild<QPushButton*>(QStringLiteral("stop"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(retried, "state") == "stopped"; }, kLimitMs));
    boxes["B2"] = std::move(replacement);
    Link("B2");
    boxes["B2"]->Run();
    retried->findChild<QPushButton*>(QStringLiteral("start"))->click();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Text(retried, "counts") == "done 1 · failed 1" &&
                   Text(retried, "state") == "done";
        },
        kLimitMs))
        << Text(retried, "state").toStdString() << ": " << Text(retried, "detail").toStdString();
    for (const SlotCase& c : cases) {
        if (std::string(c.name) == "B2") {
            continue;
        }
        std::vector<QString> now;
        for (const char* child : {"state", "last", "counts", "transfer"}) {
            now.push_back(Text(tiles[c.name], child));
        }
        EXPECT_EQ(now, before[c.name]) << c.name << ": " << now[0].toStdString() << " | "
                                       << now[1].toStdString() << " | " << now[3].toStdString();
    }
    EXPECT_TRUE(totals->text().startsWith(QStringLiteral("done 3 · failed 2 · yield 60.0 %")))
        << totals->text().toStdString();

    // Every unit recorded once, with the serial number scanned on its tile.
    std::multiset<std::pair<std::string, std::string>> serials;
    for (const UnitRecord& unit : Recorded()) {
        serials.emplace(unit.portLabel, unit.boxSerial);
    }
    const std::multiset<std::pair<std::string, std::string>> expected{
        {"A1", "SN-A1"}, {"A2", "SN-A2"}, {"B1", "SN-B1"}, {"B2", "SN-B2"}, {"B2", ""}};
    EXPECT_EQ(serials, expected);
}

// Closing while a box is being updated asks first: No leaves the unit
// running; Yes cancels it as the Cancel button does, and it is recorded
// before the window goes.
TEST_F(StationWindowTest, ClosingAsksFirstThenCancelsAndRecordsTheUnitUnderWay) {
    PeerOptions holding = Box();
    holding.silentFrames = {{Frame::kBlock, 3}};
    AddSlot("A1", holding);
    SetUpStation();
    StationWindow window(setup, {});
    window.show();
    boxes["A1"]->Run();
    window.StartAll();
    auto* progress = window.findChild<QProgressBar*>(QStringLiteral("progress"));
    // Blocks 0 to 2 acknowledged, block 3 held unanswered.
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() == 3; }, kLimitMs))
        << progress->text().toStdString();

    const struct {
        QMessageBox::StandardButton answer;
        bool closed;
        std::size_t recorded;
    } cases[] = {{QMessageBox::No, false, 0}, {QMessageBox::Yes, true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closed ? "Yes" : "No");
        QString asked;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text();
            box->button(c.answer)->click();
        });
        EXPECT_EQ(window.close(), c.closed);
        EXPECT_TRUE(asked.startsWith(QStringLiteral("Boxes are being updated.")))
            << asked.toStdString();
        EXPECT_EQ(Recorded().size(), c.recorded);
    }
    const std::vector<UnitRecord> units = Recorded();
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].outcome, UnitOutcome::kCancelled);
    EXPECT_TRUE(units[0].reason.starts_with("cancelled at block 3 of ")) << units[0].reason;
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// A stop signal to the window in block transfer: every unit is cancelled
// with a CNL and recorded, then the window closes by itself.
TEST_F(StationWindowTest, AStopSignalCancelsEveryUnitRecordsItAndCloses) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        boxes.clear();
        setup = {};
        for (const char* file : {"records.sqlite", "records.sqlite-wal", "records.sqlite-shm"}) {
            std::filesystem::remove(dir.File(file));
        }
        PeerOptions holding = Box();
        holding.silentFrames = {{Frame::kBlock, 3}};
        AddSlot("A1", holding);
        AddSlot("A2", holding);
        SetUpStation();
        StationWindow window(setup, {});
        QtCallPump pump;
        const StopSignals stopSignals(pump.Calls(), /*interruptFinishesFirst=*/true,
                                      {[&](StopStep step) { window.OnStopSignal(step); }, {}});
        window.show();
        for (auto& [name, box] : boxes) {
            box->Run();
        }
        window.StartAll();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return boxes["A1"]->Progress().counters.framesIgnored == 1 &&
                       boxes["A2"]->Progress().counters.framesIgnored == 1;
            },
            kLimitMs));
        ::kill(::getpid(), signal);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, kLimitMs));
        EXPECT_EQ(window.ExitStatus(), 1);
        const std::vector<UnitRecord> units = Recorded();
        ASSERT_EQ(units.size(), 2u);
        for (const UnitRecord& unit : units) {
            EXPECT_EQ(unit.outcome, UnitOutcome::kCancelled) << unit.portLabel;
            EXPECT_TRUE(unit.reason.starts_with("cancelled at block 3 of ")) << unit.reason;
        }
        for (auto& [name, box] : boxes) {
            EXPECT_EQ(box->Finish(true).counters.updatesCancelled, 1u) << name << " got its CNL";
        }
    }
}

// A slot whose device vanished, and whose name then leads to another box
// (the link moved, as a kernel name moves to another adapter): the slot
// sends that box nothing until the operator stops and starts it.
TEST_F(StationWindowTest, ASlotRefusesADeviceThatIsNotItsOwnUntilStoppedAndStarted) {
    PeerOptions vanishing = Box();
    vanishing.vanishFrames = {{Frame::kBlock, 10}};
    AddSlot("A1", vanishing, std::chrono::milliseconds(200));
    SetUpStation();
    // Taken now, so that it cannot be given the number of the one that goes.
    auto other = std::make_unique<test::StandIn>(Box());
    StationWindow window(setup, {});
    window.show();
    boxes["A1"]->Run();
    window.StartAll();
    QWidget* tile = window.findChild<SlotTile*>(QStringLiteral("slot:A1"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Text(tile, "counts") == "done 0 · failed 1"; }, kLimitMs));

    boxes["A1"] = std::move(other);
    Link("A1");
    boxes["A1"]->Run();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Text(tile, "detail").endsWith(QStringLiteral(": not this slot's")); },
        kLimitMs))
        << Text(tile, "state").toStdString() << ": " << Text(tile, "detail").toStdString();
    EXPECT_EQ(Text(tile, "state"), "not opened");
    EXPECT_TRUE(
        Text(tile, "detail").startsWith(QString::fromStdString(dir.File("A1") + " is now ")))
        << Text(tile, "detail").toStdString();
    const RunProgress untouched = boxes["A1"]->Progress();
    EXPECT_FALSE(untouched.lineOpen);
    EXPECT_EQ(untouched.counters.bytesReceived, 0u);

    tile->findChild<QPushButton*>(QStringLiteral("stop"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text(tile, "state") == "stopped"; }, kLimitMs));
    tile->findChild<QPushButton*>(QStringLiteral("start"))->click();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Text(tile, "counts") == "done 1 · failed 1" && Text(tile, "state") == "done";
        },
        kLimitMs))
        << Text(tile, "state").toStdString() << ": " << Text(tile, "detail").toStdString();
}

}  // namespace
}  // namespace vantrel
