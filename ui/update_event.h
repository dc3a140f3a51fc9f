#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "engine/session_end.h"
#include "engine/session_event.h"
#include "ports/detected_port.h"
#include "serial/open_error.h"
#include "serial/port_device.h"

namespace vantrel {

// What the window's logic tells a listener as it happens, beside the texts
// it shows: the front ends that run units learn from these, never from a
// control's text or the log.
namespace update_event {

struct PortOpened {
    PortDevice device;
    std::optional<DetectedPort> detected;  // what discovery knows of it
};
struct PortNotOpened {
    PortDevice device;
    OpenErrorKind error = OpenErrorKind::kNone;
    std::string reason;  // the open error in words
};
// The image Open refused the chosen file; `reason` in words.
struct ImageRefused {
    std::string reason;
};
// Start was pressed and no session began: the port is not open, no image
// is loaded, or its bytes were refused; `reason` in words.
struct StartRefused {
    std::string reason;
};
struct SessionStarted {
    std::string imagePath;
    std::int32_t imageKind = 0;
    std::string imageSha256;  // of the bytes loaded for this session
    std::uint32_t blocks = 0;
};
// The line stayed silent for `silence` while the session waited for BOOT.
struct LineSilent {
    std::chrono::milliseconds silence{0};
};
struct LogAppended {
    std::string text;
};
struct SessionEnded {
    SessionEnd end;
};
struct PortLost {
    std::string reason;  // the port layer's words
};

}  // namespace update_event

// The box's own steps (BOOT, blocks acknowledged, frames sent again, blocks
// sent back) arrive as the engine's SessionEvent.
using UpdateEvent =
    std::variant<update_event::PortOpened, update_event::PortNotOpened, update_event::ImageRefused,
                 update_event::StartRefused, update_event::SessionStarted, SessionEvent,
                 update_event::LineSilent, update_event::LogAppended, update_event::SessionEnded,
                 update_event::PortLost>;

// Told every UpdateEvent, on the UI thread.
class UpdateListener {
  public:
    virtual void OnUpdateEvent(const UpdateEvent& event) = 0;

  protected:
    ~UpdateListener() = default;
};

}  // namespace vantrel
