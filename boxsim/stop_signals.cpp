#include "boxsim/stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>

namespace vantrel {

UniqueFd BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return UniqueFd();
    }
    return UniqueFd(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
}

}  // namespace vantrel
