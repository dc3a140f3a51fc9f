#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/session_event.h"
#include "engine/status_code.h"
#include "engine/update_session.h"

namespace vantrel {

// Text of a status code for the status line; a number outside the codes is empty.
std::string StatusText(StatusCode code, int portNumber, const UpdateSession::Progress& progress);

// The status line once the box acknowledged a block: "Updating modules...[...]".
std::string AcknowledgedStatusText(const SessionEvent& acknowledged);

// The log line ">> Uploading... [37 %]" when the upload percentage differs
// from the last one logged. kStatusWaitBoot resets it to 0.
class UploadPercentage {
  public:
    void Reset() { m_last = 0; }
    std::optional<std::string> Update(std::uint32_t blockCounter, std::uint32_t blockCount);

  private:
    std::uint32_t m_last = 0;
};

}  // namespace vantrel
