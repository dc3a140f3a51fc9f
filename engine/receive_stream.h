#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/readback_file.h"
#include "engine/session_host.h"
#include "engine/update_session.h"
#include "protocol/frame_codec.h"

namespace vantrel {

// Everything the box sends, chunk by chunk, on the UI thread: "BOOT", ACK
// and NAK move the session on, blocks the box sends back are checked and
// stored, a module end from the box ends the module, and everything else is
// console text for the log pane.
class ReceiveStream {
  public:
    ReceiveStream(UpdateSession& session, SessionHost& host);

    // A chunk from the serial port; any length is taken.
    int OnCommData(std::span<const std::uint8_t> chunk);
    // Empties the accumulator and starts a new readback (a new session starts).
    void Reset();

    // Whether the box announced itself to end the last session, and waits
    // for a handshake; asking forgets it. A closed port forgets it too.
    bool TakePendingBoot();
    // The blocks the box sent back in this session that are not stored
    // ("2, 5-7"), empty when none.
    std::string MissingReadbackBlocks() const;

    // Where blocks the box sends back are stored: the file of the module
    // being written, or, where several boxes are updated from one image,
    // a file of the unit's own.
    void SetReadbackFile(std::optional<std::string> path) { m_readbackPath = std::move(path); }

  private:
    static constexpr std::size_t kAccumulatorSize = 4096;
    static constexpr std::size_t kEchoCapacity = 1023;  // a 1024-byte buffer and its NUL

    int ParseReceived();
    // Handles what starts the buffered data; returns the bytes consumed, 0
    // when it must wait for more.
    std::size_t ParseStep();
    void OnBoot();
    std::size_t EchoText();
    void HandleWholeBlock();
    ReadbackSave SaveBlock(const ReadbackBlock& block);
    void HandleModuleEnd();
    void EchoLeftoverThatStartsNoWord();
    void EchoHeldPieceThatBecameNoWord(std::size_t held);
    void EchoConsoleText(std::span<const std::uint8_t> text);
    void NoteAnswerInsideText(std::span<const std::uint8_t> run);
    void Consume(std::size_t count);
    std::span<const std::uint8_t> Buffered() const { return {m_rxBuffer.data(), m_rxCount}; }

    UpdateSession& m_session;
    SessionHost& m_host;
    std::array<std::uint8_t, kAccumulatorSize> m_rxBuffer{};
    std::size_t m_rxCount = 0;
    ResponseKind m_lastResponse = kResponseText;
    ReadbackFile m_readbackFile;
    std::optional<std::string> m_readbackPath;
    bool m_bootPending = false;
};

}  // namespace vantrel
