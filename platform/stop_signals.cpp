#include "platform/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/stop_signal.h"

namespace vantrel {
namespace {

constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGHUP};

// Where the handler writes; -1 while no StopSignals exists.
std::atomic<int> g_writeEnd{-1};
std::array<struct sigaction, kStopSignals.size()> g_previous{};

void OnStopSignal(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe holds dozens of unread signals already: dropping one more is harmless.
    [[maybe_unused]] const auto written = ::write(g_writeEnd.load(), &number, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(UiThreadCalls& ui, bool interruptFinishesFirst, Handlers handlers)
    : m_ui(ui),
      m_escalation(interruptFinishesFirst),
      m_handlers(std::move(handlers)),
      m_stop(CreateStopSignal()),
      m_gate(ui) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_readEnd.Reset(ends[0]);
        m_writeEnd.Reset(ends[1]);
    }
    // Without a pipe the signals keep their default: they end the program,
    // as they would have without this object.
    if (!m_readEnd.IsValid() || !m_stop.IsValid()) {
        return;
    }
    g_writeEnd.store(m_writeEnd.Get());
    m_thread = std::thread(&StopSignals::Relay, this);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A read or write that the signal interrupts goes on.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        sigaction(kStopSignals[i], &action, &g_previous[i]);
    }
}

StopSignals::~StopSignals() {
    if (!m_thread.joinable()) {
        return;
    }
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        sigaction(kStopSignals[i], &g_previous[i], nullptr);
    }
    g_writeEnd.store(-1);
    RaiseStopSignal(m_stop.Get());
    m_thread.join();
}

void StopSignals::Relay() {
    for (;;) {
        pollfd entries[] = {{m_readEnd.Get(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((entries[1].revents & POLLIN) != 0) {
            return;
        }
        unsigned char signals[64];
        const ssize_t count = ::read(m_readEnd.Get(), signals, sizeof signals);
        for (ssize_t i = 0; i < count; ++i) {
            const StopStep step = m_escalation.Next(signals[i], StopEscalation::Clock::now());
            if (step == StopStep::kEndNow) {
                if (m_handlers.onEndNow) {
                    m_handlers.onEndNow();
                }
            } else if (step != StopStep::kIgnore) {
                m_ui.Post(m_gate, [this, step] { m_handlers.onStep(step); });
            }
        }
    }
}

}  // namespace vantrel
