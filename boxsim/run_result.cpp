#include "boxsim/run_result.h"

#include "boxsim/format_line.h"

namespace vantrel {
namespace {

std::string Outcome(const RunResult& result) {
    const PeerCounters& counters = result.counters;
    if (RunSucceeded(result)) {
        if (counters.updatesVerified == 0) {
            return "readback complete";
        }
        return counters.updatesVerified == 1
                   ? std::string("update verified")
                   : FormatLine("%u updates verified", counters.updatesVerified);
    }
    if (counters.checkFailures > 0) {
        return FormatLine("not verified: %llu failed checks",
                          static_cast<unsigned long long>(counters.checkFailures));
    }
    if (counters.updatesFailed > 0) {
        return "not verified: the module end was refused";
    }
    if (counters.updatesCancelled > 0) {
        return "not verified: the tool cancelled";
    }
    switch (result.end) {
        case RunResult::End::kLineClosed:
            return "not verified: the tool closed the line";
        case RunResult::End::kVanished:
            return "not verified: the line was closed on request";
        case RunResult::End::kLineError:
            return "not verified: the line failed";
        default:
            return "not verified: stopped before an update completed";
    }
}

}  // namespace

bool RunSucceeded(const RunResult& result) {
    const PeerCounters& counters = result.counters;
    return counters.updatesVerified + counters.readbacksCompleted > 0 &&
           counters.checkFailures == 0 && counters.updatesFailed == 0;
}

std::string FormatRunSummary(const RunResult& result) {
    const PeerCounters& counters = result.counters;
    return FormatLine(
        "summary: %s; %llu frames, %llu NAKs sent, %llu bytes received, %llu bytes "
        "sent, %.2f s",
        Outcome(result).c_str(), static_cast<unsigned long long>(counters.framesReceived),
        static_cast<unsigned long long>(counters.naksSent),
        static_cast<unsigned long long>(counters.bytesReceived),
        static_cast<unsigned long long>(result.bytesWritten), result.elapsed.count());
}

}  // namespace vantrel
