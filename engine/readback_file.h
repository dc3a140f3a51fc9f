#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/blocks.h"

namespace vantrel {

// A block the box sent back, as read from its 1032-byte frame.
struct ReadbackBlock {
    std::uint32_t blockNumber = 0;
    std::uint32_t dataAreaSize = kBlockSize;
    std::uint32_t dataLength = 0;        // as the box gave it
    std::span<const std::uint8_t> data;  // the data area of the frame
};

// What became of one block.
struct ReadbackSave {
    bool stored = false;
    // Set when this block made the session keep the file as it was.
    std::optional<std::string> keptOriginal;
    // Why the block was not stored, naming the file; empty when it was.
    std::string error;
};

// The blocks the box sends back during one session. They replace the
// contents of the image file, but nothing is lost on the way: the file as it
// was is kept beside it (NAME.orig, or NAME.orig.1 and on when that exists)
// before the session's first block empties it, and every block lands at its
// own place (number × 1024), so a missing or repeated block shifts nothing.
class ReadbackFile {
  public:
    // A new session: the next block keeps and empties the file again.
    void Reset();

    // Stores the block. The session's first block names the file (the image
    // being written, nothing when there is none yet); later blocks of the
    // session go to that same file. At most the data area is written,
    // whatever length the box claims.
    ReadbackSave Save(const std::optional<std::string>& imageFile, const ReadbackBlock& block);
    // A block that arrived damaged (its checksum failed) is missing unless
    // the box sends it again.
    void NoteDamaged(std::uint32_t blockNumber) { Note(blockNumber, false); }

    // The blocks up to the highest one the box sent that are not stored:
    // never sent, or sent and not stored (a full disk, say).
    struct Missing {
        std::size_t count = 0;
        std::string ranges;  // "2, 5-7"
    };
    Missing MissingBlocks() const;
    // The log line that names them; empty when none is missing.
    std::string MissingBlocksLogLine() const;

  private:
    ReadbackSave Store(const std::optional<std::string>& imageFile, const ReadbackBlock& block);
    void Note(std::uint32_t blockNumber, bool stored);

    std::optional<std::string> m_fileName;  // set once the file was emptied
    std::string m_targetName;               // the file the blocks go to, opened or not
    std::vector<bool> m_stored;             // indexed by block number, up to the highest sent
};

// The log line for a stored block.
std::string ReadbackLogLine(const ReadbackBlock& block);

}  // namespace vantrel
