#include "platform/cancel_signals.h"

#include <csignal>
#include <initializer_list>

namespace vantrel {

void InstallCancelSignals(void (*onCancel)(int)) {
    struct sigaction action {};
    action.sa_handler = onCancel;
    sigemptyset(&action.sa_mask);
    // A write blocked on a slow reader goes on after the signal: failing
    // with EINTR would end that output for good.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    IgnoreLostReaders();
}

void IgnoreLostReaders() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace vantrel
