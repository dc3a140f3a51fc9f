#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/frame_codec.h"

namespace vantrel {

// A piece of what the tool sent: one whole frame, or bytes that begin none.
struct ReceivedItem {
    enum class Kind { kFrame, kGarbage };

    Kind kind = Kind::kFrame;
    FrameType type = kFrameGbe;  // kFrame only
    std::vector<std::uint8_t> bytes;
};

// The start of a frame whose rest has not arrived.
struct PartialFrame {
    std::vector<std::uint8_t> bytes;
    std::optional<FrameType> type;  // known once the three command letters are in
};

// Frames from the tool come back to back without delimiters: each is known
// by its three-letter command and that command's fixed length. Bytes that
// begin no command are skipped up to the next command.
class ReceivedFrameSplitter {
  public:
    std::vector<ReceivedItem> Append(std::span<const std::uint8_t> bytes);

    // Bytes held back because the frame (or command) they begin is not
    // complete yet.
    bool HasPartial() const { return !m_pending.empty(); }
    PartialFrame TakePartial();

  private:
    std::vector<std::uint8_t> m_pending;
};

}  // namespace vantrel
