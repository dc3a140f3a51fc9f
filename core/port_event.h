#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/session_end.h"
#include "engine/session_event.h"
#include "engine/status_code.h"
#include "engine/update_session.h"
#include "ports/detected_port.h"
#include "serial/open_error.h"
#include "serial/port_device.h"

namespace vantrel {

// What a port core tells its listeners as it happens. Front ends show and
// count these; none of them asks the core again what an event told.
namespace port_event {

struct PortOpened {
    PortDevice device;
    std::optional<DetectedPort> detected;  // what discovery knows of it
};
struct PortNotOpened {
    PortDevice device;
    OpenError error;
    std::string reason;  // the open error in words
};
// The status line's code at this step, the PORT number it names and the
// module it speaks of: StatusText makes the line of them.
struct StatusShown {
    StatusCode code = kStatusCleared;
    int portNumber = 0;
    UpdateSession::Progress progress;
};
// A piece of the log, as the log pane is given it (line ends included).
struct LogAppended {
    std::string text;
};
// The log was emptied, as the window's Clear does at each Start.
struct LogCleared {};
// A session began (`busy`, its bar running from 0 to `blocks`) or the port
// is idle again.
struct BusyChanged {
    bool busy = false;
    std::uint32_t blocks = 0;
};
// Start began no session: what stood in the way, and `reason` in words.
// For an image that cannot be read or was refused, `alert` is the text of
// the box the window shows.
struct StartRefused {
    enum class Cause { kBusy, kNotConnected, kNoImage, kImageMissing, kImageRefused };
    Cause cause = Cause::kNoImage;
    std::string reason;
    std::string alert;
};
struct SessionStarted {
    std::string imagePath;
    std::int32_t imageKind = 0;
    std::string imageSha256;  // of the bytes loaded for this session
    std::uint32_t blocks = 0;
};
// The line stayed silent for `silence` while the session waited for BOOT;
// `hint` (logged too) says what to check, in one line.
struct LineSilent {
    std::chrono::milliseconds silence{0};
    std::string hint;
};
struct SessionEnded {
    SessionEnd end;
};
struct PortLost {
    std::string reason;  // the port layer's words
};
// A write failed with a device error; the worker waits until the
// listeners have been told (the window shows its "ERROR" box meanwhile).
struct WriteFailed {};

}  // namespace port_event

// The box's own steps (BOOT, blocks acknowledged, frames sent again, blocks
// sent back) arrive as the engine's SessionEvent. A block acknowledged is
// one event: the status line (see AcknowledgedStatusText) and the bar's
// position (`block` of the session's blocks) come with it.
using PortEventData =
    std::variant<port_event::PortOpened, port_event::PortNotOpened, port_event::StatusShown,
                 port_event::LogAppended, port_event::LogCleared, port_event::BusyChanged,
                 port_event::StartRefused, port_event::SessionStarted, SessionEvent,
                 port_event::LineSilent, port_event::SessionEnded, port_event::PortLost,
                 port_event::WriteFailed>;

struct PortEvent {
    std::string_view label;  // the core's label, valid while the core lives
    std::chrono::steady_clock::time_point time;
    PortEventData data;
};

// Told every event of one core, on its UI thread (see PortCore).
class PortListener {
  public:
    virtual void OnPortEvent(const PortEvent& event) = 0;

  protected:
    ~PortListener() = default;
};

}  // namespace vantrel
