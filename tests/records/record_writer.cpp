// A station for the tests that need several processes recording at once:
//   record_writer TARGET LOCAL_FILE STATION COUNT
// records COUNT sample units of STATION through a UnitRecorder and exits 0
// once every one is in its store (the server's, for a server target).
#include <chrono>
#include <cstdio>
#include <string>

#include "records/record_target.h"
#include "records/unit_recorder.h"
#include "tests/records/sample_record.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: record_writer TARGET LOCAL_FILE STATION COUNT\n");
        return 2;
    }
    const auto target = vantrel::ParseRecordTarget(argv[1], argv[2]);
    if (const auto* error = std::get_if<std::string>(&target)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 2;
    }
    vantrel::RecorderOptions options;
    options.retryInterval = std::chrono::milliseconds(50);
    auto opened = vantrel::UnitRecorder::Open(std::get<vantrel::RecordTarget>(target), options);
    if (const auto* error = std::get_if<std::string>(&opened)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    auto& recorder = *std::get<std::unique_ptr<vantrel::UnitRecorder>>(opened);
    const int count = std::stoi(argv[4]);
    for (int number = 0; number < count; ++number) {
        recorder.Record(vantrel::test::SampleRecord(number, argv[3]));
    }
    const bool arrived = recorder.Flush(std::chrono::seconds(60));
    const vantrel::RecorderProgress left = recorder.Close(std::chrono::seconds(5));
    if (!arrived || left.waiting > 0 || left.spooled > 0) {
        std::fprintf(stderr, "not all arrived: %zu waiting, %zu spooled\n", left.waiting,
                     left.spooled);
        return 1;
    }
    return 0;
}
