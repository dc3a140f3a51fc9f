#pragma once

namespace vantrel {

// Identifiers of the main window's controls.
enum ControlId : int {
    kIdExit = 2,
    kIdPortSelector = 1002,
    kIdDestAddress = 1011,
    kIdFileName = 1018,
    kIdProgress = 1019,
    kIdStatusCaption = 1020,
    kIdStatusLine = 1021,
    kIdCommPortGroup = 1022,
    kIdClear = 1033,
    kIdStart = 1034,
    kIdCancel = 1035,
    kIdOpenImage = 1036,
    kIdConfiguration = 1041,
    kIdOpenPort = 1042,
    kIdLogPane = 1043,
};

}  // namespace vantrel
