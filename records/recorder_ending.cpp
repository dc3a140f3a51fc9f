#include "records/recorder_ending.h"

#include <string>

#include "records/record_report.h"

namespace vantrel {
namespace {

// `word` as one word for a POSIX shell.
std::string ShellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789-_./:@%+=,") == std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Units(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units");
}

}  // namespace

std::size_t ReportRecorderEnding(const RecorderProgress& left, const RecordTarget& target,
                                 const char* program, std::FILE* err) {
    const auto say = [&](const char* kind, const std::string& text) {
        std::fprintf(err, "%s: %s%s\n", program, kind, text.c_str());
    };
    const std::string file = target.localFile;
    if (left.unrecorded > 0) {
        const std::string store = target.server ? target.server->name : file;
        say("error: ", Units(left.unrecorded) + " not in the record file " + file +
                           ": they are kept in " + left.unrecordedFile +
                           "; bring them in with: vantrel-records --record " + ShellWord(store) +
                           " --import " + ShellWord(left.unrecordedFile));
    }
    if (!left.unkept.empty()) {
        say("error: ", Units(left.unkept.size()) + " not in the record file " + file +
                           " and in no other file; their records follow, one JSON object a line");
        for (const UnitRecord& record : left.unkept) {
            std::fputs(FormatUnitJsonLine(record).c_str(), err);
        }
    }
    if (left.spooled > 0 && target.server) {
        say("", Units(left.spooled) + " wait in " + file + " for the record server " +
                    target.server->name + " and are sent at the next run");
    }
    if (left.unreadable > 0) {
        say("warning: ", Units(left.unreadable) + " spooled in " + file +
                             " by a newer Vantrel stay there for it to send");
    }
    return left.NotInFile();
}

}  // namespace vantrel
