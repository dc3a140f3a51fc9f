#pragma once

#include <optional>
#include <string>

#include "platform/unique_fd.h"
#include "serial/device_holder.h"
#include "serial/open_error.h"

namespace vantrel {

struct DeviceOpenResult {
    UniqueFd device;  // valid on success
    OpenErrorKind failure = OpenErrorKind::kNone;
    int error = 0;
    std::optional<DeviceHolder> holder;  // kInUse
};

// Opens a serial device for reading and writing so that no other program
// can have it at the same time: TIOCEXCL refuses other opens except root's,
// and an advisory flock() held for the descriptor's lifetime refuses root's
// and any second open of our own. Never blocks and never becomes the
// controlling terminal.
DeviceOpenResult OpenDeviceExclusive(const std::string& path);

}  // namespace vantrel
