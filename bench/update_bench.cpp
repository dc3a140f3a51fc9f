// A whole LDAP update (1025 blocks) through the window logic and the real
// serial port on a pseudo-terminal, against a stand-in that answers at once.
// Prints the seconds, the blocks per second and the median time from an
// answer arriving to the next frame being written.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "boxsim/box_sim_runner.h"
#include "boxsim/pty_line.h"
#include "tests/support/image_maker.h"
#include "tests/support/pty_peer.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/updater_dlg.h"

namespace {

using Clock = std::chrono::steady_clock;

// A clock on what the box sends and what the window writes.
class TurnaroundTap : public vantrel::PortTap {
  public:
    void OnRead(std::span<const std::uint8_t>, Clock::time_point time) override {
        std::lock_guard lock(m_mutex);
        m_lastAnswer = time;
        m_answered = true;
    }

    void OnWrite(std::span<const std::uint8_t>, Clock::time_point time) override {
        std::lock_guard lock(m_mutex);
        if (m_answered) {
            m_turnarounds.push_back(time - m_lastAnswer);
            m_answered = false;
        }
    }

    std::vector<Clock::duration> Turnarounds() {
        std::lock_guard lock(m_mutex);
        return m_turnarounds;
    }

  private:
    std::mutex m_mutex;
    Clock::time_point m_lastAnswer{};
    bool m_answered = false;
    std::vector<Clock::duration> m_turnarounds;
};

}  // namespace

int main() {
    constexpr int kRuns = 3;
    vantrel::test::TempDir dir;
    const std::string image =
        dir.Write("ldap.bin", vantrel::test::MakeImageBytes({"LDAP", 1049600}));
    std::printf("%-4s %10s %12s %22s\n", "run", "seconds", "blocks/s", "median turnaround us");
    for (int run = 1; run <= kRuns; ++run) {
        std::string error;
        std::optional<vantrel::PtyLine> pty = vantrel::CreatePtyLine(error);
        if (!pty) {
            std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
            return 1;
        }
        vantrel::test::MapPort(1, pty->farEndPath);
        vantrel::PeerOptions options;
        options.bootDelay = std::chrono::milliseconds(0);
        vantrel::BoxSimRunner box(std::move(pty->line), options);

        vantrel::test::RecordingView view;
        vantrel::UiThreadCalls ui;
        vantrel::CUpdaterDlg window(view, ui, "update_bench");
        TurnaroundTap tap;
        window.Core().SetTap(&tap);
        window.OnInitDialog();
        view.fileAnswers.push_back(image);
        window.OnOpenImage();
        window.OnStart();
        const Clock::time_point started = Clock::now();
        vantrel::RunResult result;
        std::thread boxThread([&] { result = box.Run(); });
        while (window.Core().SessionRunning()) {
            ui.WaitAndRunPending(std::chrono::milliseconds(100));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        box.RequestStop();
        boxThread.join();
        if (window.Core().LastSessionSucceeded() != true || !vantrel::RunSucceeded(result)) {
            std::fprintf(stderr, "run %d did not complete: %s\n", run,
                         vantrel::FormatRunSummary(result).c_str());
            return 1;
        }
        std::vector<Clock::duration> turnarounds = tap.Turnarounds();
        std::nth_element(turnarounds.begin(), turnarounds.begin() + turnarounds.size() / 2,
                         turnarounds.end());
        const double medianMicros =
            std::chrono::duration<double, std::micro>(turnarounds[turnarounds.size() / 2]).count();
        std::printf("%-4d %10.3f %12.0f %22.1f\n", run, seconds, 1025 / seconds, medianMicros);
    }
    return 0;
}
