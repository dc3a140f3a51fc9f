// Whole updates through the real serial port on a pseudo-terminal, against
// the boot-loader stand-in, driven as an operator drives the window.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "boxsim/frame_selector.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_peer.h"
#include "tests/support/recording_view.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "ui/control_ids.h"
#include "ui/updater_dlg.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

FrameSelector Block(std::uint16_t number) {
    return {FrameSelector::Frame::kBlock, number};
}
constexpr FrameSelector kHandshake{FrameSelector::Frame::kHandshake, 0};
constexpr FrameSelector kHeader{FrameSelector::Frame::kHeader, 0};
constexpr FrameSelector kModuleEnd{FrameSelector::Frame::kModuleEnd, 0};
constexpr FrameSelector kGlobalEnd{FrameSelector::Frame::kGlobalEnd, 0};

class UpdateRoads : public ::testing::Test {
  protected:
    // The window on PORT 1, mapped to a fresh stand-in with `options`.
    void OpenWindow(PeerOptions options = test::InstantOptions()) {
        box = std::make_unique<test::StandIn>(std::move(options));
        dlg = std::make_unique<CUpdaterDlg>(view, ui, "vantrel");
        dlg->OnInitDialog();
        ASSERT_TRUE(dlg->Core().IsOpen());
    }

    // Chooses an image of the kind with the image Open button.
    void ChooseImage(const char* kind = "LOAD", std::size_t size = 66560) {
        imageBytes = test::MakeImageBytes({kind, size});
        view.fileAnswers.push_back(dir.Write("image.bin", imageBytes));
        dlg->OnOpenImage();
        ASSERT_NE(dlg->ImageKind(), 0);
    }

    // Presses Start, then lets the box announce itself.
    void Start() {
        dlg->OnStart();
        ASSERT_TRUE(dlg->Core().SessionRunning()) << view.texts[kIdStatusLine];
        box->Run();
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = 30s) {
        const auto runPending = [this] { ui.WaitAndRunPending(10ms); };
        return test::WaitUntil(done, runPending, limit);
    }

    void RunToEnd() {
        ASSERT_TRUE(RunUntil([&] { return !dlg->Core().SessionRunning(); }))
            << "status: " << view.texts[kIdStatusLine];
    }

    std::string Status() { return view.texts[kIdStatusLine]; }

    Bytes ImageAsBytes() const { return Bytes(imageBytes.begin(), imageBytes.end()); }

    test::TempDir dir;
    test::RecordingView view;
    UiThreadCalls ui;
    std::unique_ptr<test::StandIn> box;
    std::unique_ptr<CUpdaterDlg> dlg;
    std::string imageBytes;
};

TEST_F(UpdateRoads, FullUpdateOfEachKindVerifiedByTheBox) {
    const struct {
        const char* kind;
        std::size_t size;
        int blocks;
    } kinds[] = {{"LOAD", 66560, 65}, {"APPL", 590848, 577}, {"LDAP", 1049600, 1025}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        view = test::RecordingView{};
        OpenWindow();
        ChooseImage(k.kind, k.size);
        Start();
        RunToEnd();
        EXPECT_EQ(Status(), "Complete updating successfully...");
        EXPECT_EQ(dlg->Core().LastSessionSucceeded(), true);
        EXPECT_EQ(view.progressRange, std::make_pair(0, k.blocks));
        EXPECT_EQ(view.progressPos, 0);
        const RunResult result = box->Finish();
        EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
        EXPECT_EQ(result.counters.blocksAccepted, static_cast<std::uint64_t>(k.blocks));
        ASSERT_TRUE(result.receivedModule);
        EXPECT_EQ(*result.receivedModule, ImageAsBytes());
        dlg.reset();
    }
}

TEST_F(UpdateRoads, RefusedFramesAreSentAgainIdentically) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {kHandshake, kHeader, Block(0), Block(7), Block(7), Block(64)};
    OpenWindow(options);
    ChooseImage();
    Start();
    RunToEnd();
    EXPECT_EQ(Status(), "Complete updating successfully...");
    const RunResult result = box->Finish();
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);
    EXPECT_EQ(result.counters.naksSent, 6u);
    EXPECT_EQ(result.counters.blocksAccepted, 65u);
    EXPECT_NE(view.log.find("NAKNAK"), std::string::npos) << "each NAK is echoed: " << view.log;
}

TEST_F(UpdateRoads, RefusedModuleEndFailsTheUpdate) {
    PeerOptions options = test::InstantOptions();
    options.nakFrames = {kModuleEnd};
    OpenWindow(options);
    ChooseImage();
    Start();
    RunToEnd();
    EXPECT_EQ(Status(), "Error...Update failed!");
    EXPECT_EQ(dlg->Core().LastSessionSucceeded(), false);
    EXPECT_TRUE(dlg->CanClose());
    EXPECT_FALSE(RunSucceeded(box->Finish()));
}

TEST_F(UpdateRoads, CancelSendsOneCnlOnlyDuringBlockTransfer) {
    const struct {
        const char* where;
        std::vector<FrameSelector> silent;  // where the box stops answering
        std::function<bool(const RunProgress&)> reached;
        std::uint32_t cancelsSeen;
    } cases[] = {
        {"handshake",
         {kHandshake},
         [](const RunProgress& p) { return p.counters.framesReceived >= 1; },
         0},
        {"block transfer",
         {Block(3)},
         [](const RunProgress& p) {
             return p.counters.blocksAccepted >= 3 && p.counters.framesIgnored >= 1;
         },
         1},
        {"global end",
         {kGlobalEnd},
         [](const RunProgress& p) { return p.counters.framesIgnored >= 1; },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        PeerOptions options = test::InstantOptions();
        options.silentFrames = c.silent;
        OpenWindow(options);
        ChooseImage();
        Start();
        ASSERT_TRUE(RunUntil([&] { return c.reached(box->Progress()); }));
        dlg->OnCancelUpdate();
        EXPECT_EQ(Status(), "");
        EXPECT_TRUE(dlg->CanClose());
        RunToEnd();
        EXPECT_EQ(dlg->Core().LastSessionSucceeded(), false);
        dlg.reset();  // closes the line: the stand-in's run ends
        const RunResult result = box->Finish();
        EXPECT_EQ(result.counters.updatesCancelled, c.cancelsSeen) << FormatRunSummary(result);
    }
}

TEST_F(UpdateRoads, BlocksFromTheBoxAreStoredInTheImageFile) {
    Bytes readback(2 * 1024 + 500);
    for (std::size_t i = 0; i < readback.size(); ++i) {
        readback[i] = static_cast<std::uint8_t>(i % 251);
    }
    PeerOptions options = test::InstantOptions();
    options.readback = readback;
    options.readbackBadBlocks = {1};
    OpenWindow(options);
    ChooseImage();
    Start();
    RunToEnd();
    EXPECT_EQ(Status(), "Complete updating successfully...");
    const RunResult result = box->Finish();
    EXPECT_TRUE(RunSucceeded(result)) << FormatRunSummary(result);

    // Block 1 came with a bad checksum: neither answered nor stored, and
    // the blocks behind it stay at their own places.
    std::ifstream file(dir.File("image.bin"), std::ios::binary);
    const Bytes stored{std::istreambuf_iterator<char>(file), {}};
    Bytes expected(readback.begin(), readback.begin() + 1024);
    expected.resize(2048, 0);
    expected.insert(expected.end(), readback.begin() + 2048, readback.end());
    EXPECT_EQ(stored, expected);
    EXPECT_TRUE(std::filesystem::exists(dir.File("image.bin.orig")));
    EXPECT_NE(view.log.find(">>blk(0):size(1024)\r\n>>blk(2):size(500)\r\n"), std::string::npos)
        << view.log;
    EXPECT_NE(view.log.find(": block 1 is missing\r\n"), std::string::npos) << view.log;
}

TEST_F(UpdateRoads, SplitAnswersAndConsoleTextBetweenThem) {
    PeerOptions options = test::InstantOptions();
    options.splitAnswers = true;
    options.consoleText = "flash: erasing sector\r\n";
    options.consoleEvery = 16;
    OpenWindow(options);
    ChooseImage();
    Start();
    RunToEnd();
    EXPECT_EQ(Status(), "Complete updating successfully...");
    EXPECT_TRUE(RunSucceeded(box->Finish()));
    EXPECT_NE(view.log.find("flash: erasing sector\r\n"), std::string::npos)
        << "shown unchanged during a session: " << view.log;
}

TEST_F(UpdateRoads, ConsoleTextOutsideASessionHasItsLineEndsSwapped) {
    test::PtyPeer console{1};  // a box printing before any update
    dlg = std::make_unique<CUpdaterDlg>(view, ui, "vantrel");
    dlg->OnInitDialog();
    const std::string text = "U-Boot 2009.07\r\nHit any key to stop autoboot\r\n";
    ASSERT_TRUE(console.Write(Bytes(text.begin(), text.end())));
    EXPECT_TRUE(RunUntil(
        [&] { return view.log == "U-Boot 2009.07\n\rHit any key to stop autoboot\n\r"; }, 5s))
        << view.log;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(UpdateRoads, DeviceThatVanishesMidUpdate) {
    PeerOptions options = test::InstantOptions();
    options.vanishFrames = {Block(5)};
    OpenWindow(options);
    ChooseImage();
    Start();
    ASSERT_TRUE(RunUntil([&] { return Status() == "Open Comm Port...[Port:1] ===> Fail!!"; }));
    EXPECT_NE(view.log.find(box->Path()), std::string::npos) << view.log;
    EXPECT_TRUE(dlg->Core().SessionRunning()) << "the session waits for the operator";

    // Nothing spins while the operator looks at it.
    const double before = ProcessCpuSeconds();
    RunUntil([] { return false; }, 1s);
    EXPECT_LT(ProcessCpuSeconds() - before, 0.3);

    dlg->OnCancelUpdate();
    RunToEnd();
    EXPECT_TRUE(dlg->CanClose());

    // Once the device is back, the port Open button opens it again.
    box->Finish(true);
    box = std::make_unique<test::StandIn>(test::InstantOptions());
    dlg->OpenSelectedPort();
    EXPECT_EQ(Status(), "Open Comm Port...[Port:1] ===> OK!!");
}

}  // namespace
}  // namespace vantrel
