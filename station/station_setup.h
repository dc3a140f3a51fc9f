#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "records/record_target.h"
#include "records/unit_recorder.h"
#include "station/station.h"
#include "station/station_options.h"

namespace vantrel {

// The shift's image as the operator is shown it.
struct StationImage {
    std::string path;     // absolute
    std::string kind;     // "LOAD", "APPL" or "LDAP"
    std::string sha256;   // of the bytes checked at the start
    bool pinned = false;  // the operator gave the digest it must have
};

// Everything a station needs before its first port opens, whichever front
// end shows it: the image checked, the labels read, the record store
// opened, and one runner configuration per PORT.
struct StationSetup {
    StationConfig config;  // its output and width are the front end's
    StationImage image;
    UnitLabels labels;
    RecordTarget recordTarget;
    std::unique_ptr<UnitRecorder> recorder;  // none with --no-record
};

// The station `options` ask for, with the settings file's [STATION] and
// [PORTS]; or the error that keeps it from starting, in words. Warnings
// (the readback folder cannot be made) and the recorder's own warnings and
// notices go to `recording`'s callbacks.
std::variant<StationSetup, std::string> PrepareStation(const StationOptions& options,
                                                       RecorderOptions recording);

}  // namespace vantrel
