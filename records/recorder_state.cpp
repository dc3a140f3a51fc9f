#include "records/recorder_state.h"

#include <cstdio>

namespace vantrel {

void RecorderState::Report(const std::function<void(const std::string&)>& listener,
                           const char* kind, const std::string& text) {
    std::lock_guard lock(listenerMutex);
    if (silenced) {
        return;
    }
    if (listener) {
        listener(text);
    } else {
        std::fprintf(stderr, "vantrel: %s%s\n", kind, text.c_str());
    }
}

}  // namespace vantrel
