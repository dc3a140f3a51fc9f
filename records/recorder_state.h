#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "records/record_target.h"
#include "records/unit_recorder.h"

namespace vantrel {

// What a UnitRecorder's writer and spool sender threads share with it: the
// queue, how far each has come, and whether Close has begun. Shared by
// pointer, so that a thread Close leaves behind can finish.
struct RecorderState {
    using Clock = std::chrono::steady_clock;

    RecorderState(RecordTarget target, RecorderOptions options)
        : target(std::move(target)), options(std::move(options)) {}

    void Warn(const std::string& text) { Report(options.onWarning, "warning: ", text); }
    void Notice(const std::string& text) { Report(options.onNotice, "", text); }
    // After Close no listener is called any more, even from a thread it
    // left running: what a listener uses may be gone.
    void Silence() {
        std::lock_guard lock(listenerMutex);
        silenced = true;
    }

    // Tells `text` through `listener` (standard error when unset), unless
    // silenced.
    void Report(const std::function<void(const std::string&)>& listener, const char* kind,
                const std::string& text);

    // Whether Close has begun and its limit has passed. Needs the lock.
    bool OutOfTime() const { return closing && Clock::now() >= deadline; }
    // Whether every record so far is where it goes. Needs the lock.
    bool AllArrived() const {
        return queue.empty() && kept.empty() &&
               (!target.server || (!spoolChanged && !senderBusy && progress.spooled == 0));
    }
    // When a stall of the server is to be told, if it goes on. Needs the
    // lock.
    Clock::time_point StallTime() const {
        return senderBusy && !stallTold ? senderSince + options.stallWarning
                                        : Clock::time_point::max();
    }
    RecorderProgress Progress() const {
        RecorderProgress now = progress;
        now.waiting = queue.size();
        now.unrecorded = kept.size();
        return now;
    }

    const RecordTarget target;
    const RecorderOptions options;

    std::mutex listenerMutex;  // held while a listener runs
    bool silenced = false;

    mutable std::mutex mutex;
    std::condition_variable changed;  // any of the below
    std::deque<UnitRecord> queue;     // the front is written, then taken off
    std::deque<UnitRecord> kept;      // in the unrecorded file, written before the queue
    bool closed = false;
    bool closing = false;
    Clock::time_point deadline{};
    bool writerDone = false;
    bool senderDone = false;
    bool spoolChanged = true;  // the first pass sends what an earlier run left
    bool senderBusy = false;
    Clock::time_point senderSince{};  // busy, and last sent a unit, since
    bool stallTold = false;
    RecorderProgress progress;
};

}  // namespace vantrel
