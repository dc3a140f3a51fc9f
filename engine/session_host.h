#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/session_event.h"
#include "engine/status_code.h"
#include "protocol/frame_codec.h"

namespace vantrel {

// What the update engine needs of the window that owns it.
class SessionHost {
  public:
    // UI thread only.
    virtual void ShowStatus(StatusCode code) = 0;
    virtual void AppendLog(std::string_view text) = 0;
    // The closing messages of a session, delivered on the UI thread while
    // the worker waits.
    virtual void OnSessionFailed() = 0;
    virtual void OnSessionDone() = 0;
    // Each step of the dialogue as it happens. A block acknowledged is told
    // here alone: its status line and the bar's position come with it.
    virtual void OnSessionEvent(const SessionEvent& event) = 0;

    // Worker thread.
    virtual void WriteFrame(std::span<const std::uint8_t> frame) = 0;
    virtual void FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) = 0;

  protected:
    ~SessionHost() = default;
};

}  // namespace vantrel
