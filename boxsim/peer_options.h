#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boxsim/frame_selector.h"

namespace vantrel {

// The named failure switches and road choices of the stand-in. Tests set them
// directly; the command line fills them for the program.
struct PeerOptions {
    // Wait before "BOOT"; on a pseudo-terminal counted from the tool's open,
    // because the tool empties its queues when it opens the port.
    std::chrono::milliseconds bootDelay{200};

    // Bench mode: "BOOT" again every announceInterval until a handshake
    // arrives, and one update after another until the run is stopped.
    bool bench = false;
    std::chrono::milliseconds announceInterval{3000};
    // After its one update the box stays on the line and says nothing more,
    // as one taken off a station whose adapter stays plugged: the line is
    // not closed until the run is stopped.
    bool stayAfterEnd = false;

    // Non-zero: every answer waits for the wire time of the frame it answers
    // at this many baud, 10 bits per byte.
    std::uint32_t pacingBaud = 0;

    // Each entry refuses one arrival of that frame with NAK; the frame is
    // then expected again, identical.
    std::vector<FrameSelector> nakFrames;
    // Each entry refuses every arrival of that frame with NAK, for ever: a
    // box that never takes it.
    std::vector<FrameSelector> nakAlwaysFrames;
    // Chance (0 to below 1) of a NAK to each handshake, header and block.
    double nakProbability = 0.0;
    std::uint32_t nakSeed = 1;

    // Console text written before every consoleEvery-th ACK or NAK.
    std::string consoleText;
    std::uint32_t consoleEvery = 1;
    // Answers go out in two pieces ("AC", then "K").
    bool splitAnswers = false;
    // Gap after console text and between the pieces of an answer, so that
    // the tool reads them as separate chunks.
    std::chrono::milliseconds pieceGap{20};

    // Set: the module header is answered with blocks of these bytes.
    std::optional<std::vector<std::uint8_t>> readback;
    std::vector<std::uint16_t> readbackBadBlocks;  // sent with a wrong checksum
    // The tool does not answer a bad block: the next one follows this pause.
    std::chrono::milliseconds readbackPause{200};

    std::vector<FrameSelector> silentFrames;  // never answered
    std::vector<FrameSelector> vanishFrames;  // the line is closed when they arrive
    // Each entry makes one arrival of that frame answered by "BOOT", as a box
    // that started again: the update so far is lost, and the box waits for
    // a handshake to serve a whole new one.
    std::vector<FrameSelector> restartFrames;
};

}  // namespace vantrel
