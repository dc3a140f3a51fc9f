#include "engine/receive_stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "engine/readback_file.h"
#include "protocol/checksum.h"

namespace vantrel {
namespace {

constexpr std::string_view kBoot = "BOOT";
// Every word the stream recognises at the start of the buffered data.
constexpr std::string_view kWords[] = {kBoot, "ACK", "NAK", "BLK", "MEN", ">> "};

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view word) {
    return bytes.size() >= word.size() && std::memcmp(bytes.data(), word.data(), word.size()) == 0;
}

bool BeginsSomeWord(std::span<const std::uint8_t> bytes) {
    return std::any_of(std::begin(kWords), std::end(kWords), [&](std::string_view word) {
        return bytes.size() <= word.size() &&
               std::memcmp(bytes.data(), word.data(), bytes.size()) == 0;
    });
}

// Too short to be the word it begins: "BOO" waits for its "T".
bool IsPieceOfSomeWord(std::span<const std::uint8_t> bytes) {
    return std::any_of(std::begin(kWords), std::end(kWords), [&](std::string_view word) {
        return bytes.size() < word.size() &&
               std::memcmp(bytes.data(), word.data(), bytes.size()) == 0;
    });
}

bool StartsWithSomeWord(std::span<const std::uint8_t> bytes) {
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [&](std::string_view word) { return StartsWith(bytes, word); });
}

// The answers a box's text can hide when it arrives in the same read.
constexpr std::string_view kAnswers[] = {"ACK", "NAK", kBoot};

}  // namespace

ReceiveStream::ReceiveStream(UpdateSession& session, SessionHost& host)
    : m_session(session), m_host(host) {}

int ReceiveStream::OnCommData(std::span<const std::uint8_t> chunk) {
    // What an earlier chunk left: a piece of a word, or an incomplete block.
    std::size_t held = m_rxCount;
    // Parsing between pieces keeps the accumulator bounded: after a parse it
    // holds at most three bytes or one incomplete block.
    while (!chunk.empty()) {
        const std::size_t room = std::min(chunk.size(), kAccumulatorSize - m_rxCount);
        std::copy_n(chunk.begin(), room,
                    m_rxBuffer.begin() + static_cast<std::ptrdiff_t>(m_rxCount));
        m_rxCount += room;
        chunk = chunk.subspan(room);
        EchoHeldPieceThatBecameNoWord(std::exchange(held, 0));
        ParseReceived();
    }
    return 1;
}

void ReceiveStream::Reset() {
    m_rxBuffer.fill(0);
    m_rxCount = 0;
    m_readbackFile.Reset();
}

int ReceiveStream::ParseReceived() {
    while (m_rxCount > 2) {
        const std::size_t consumed = ParseStep();
        if (consumed == 0) {
            return 1;
        }
        Consume(consumed);
    }
    EchoLeftoverThatStartsNoWord();
    return 1;
}

std::size_t ReceiveStream::ParseStep() {
    const std::span<const std::uint8_t> data = Buffered();
    const ResponseKind kind = ClassifyResponse(data);
    const SessionState state = m_session.State();

    if (IsPieceOfSomeWord(data)) {
        return 0;  // the rest of the word comes with the next chunk
    }
    if (StartsWith(data, kBoot)) {
        m_host.AppendLog("BOOT\r\n");
        OnBoot();
        m_lastResponse = kind;
        return kBoot.size();
    }
    if (kind == kResponseAck) {
        m_session.AdvanceState(kind);
        m_lastResponse = kind;
        return kCommandLength;
    }
    if (kind == kResponseNak && state <= kBlocks) {
        m_host.AppendLog("NAK");
        m_session.AdvanceState(kind);
        m_lastResponse = kind;
        return kCommandLength;
    }
    if (kind == kResponseNak && state == kModuleEnd) {
        m_host.AppendLog("NAK");
        m_host.ShowStatus(kStatusUpdateFailed);
        m_lastResponse = kind;
        m_session.FailFromBox();
        return kCommandLength;
    }
    if (kind == kResponseBlk) {
        // A block that came in pieces waits here until its 1032 bytes are in.
        if (m_rxCount < kBlkFrameLength) {
            m_lastResponse = kResponseBlk;
            return 0;
        }
        HandleWholeBlock();
        return kBlkFrameLength;
    }
    if (kind == kResponseMen) {
        HandleModuleEnd();
        return kCommandLength;
    }
    return EchoText();
}

void ReceiveStream::OnBoot() {
    const UpdateSession::Progress progress = m_session.CurrentProgress();
    switch (m_session.OnBootFromBox()) {
        case UpdateSession::BootMeaning::kRestarted:
            m_host.AppendLog("The box started again (it sent BOOT) at block " +
                             std::to_string(progress.blockCounter) + " of " +
                             std::to_string(progress.blocksTotal) +
                             ": it kept nothing of this update, which failed\r\n");
            m_host.ShowStatus(kStatusUpdateFailed);
            [[fallthrough]];
        case UpdateSession::BootMeaning::kAfterTheEnd:
            // The box now waits for a handshake: the next Start gives it one.
            m_bootPending = true;
            break;
        default:
            break;
    }
}

bool ReceiveStream::TakePendingBoot() {
    return std::exchange(m_bootPending, false);
}

std::string ReceiveStream::MissingReadbackBlocks() const {
    return m_readbackFile.MissingBlocks().ranges;
}

void ReceiveStream::HandleModuleEnd() {
    m_session.OnModuleEndFromBox();
    m_host.ShowStatus(kStatusComplete);
    if (const std::string missing = m_readbackFile.MissingBlocksLogLine(); !missing.empty()) {
        m_host.AppendLog(missing);
    }
}

void ReceiveStream::HandleWholeBlock() {
    const std::span<const std::uint8_t> frame = Buffered().first(kBlkFrameLength);
    ReadbackBlock block;
    block.blockNumber = ReadBE16(&frame[3]);
    block.dataLength = ReadBE16(&frame[5]);
    block.data = frame.subspan(kBlkHeaderLength, kBlockSize);
    const bool good = Sum8(frame.first(kBlkFrameLength - 1)) == frame[kBlkFrameLength - 1];
    // Only a stored block is acknowledged: the box can send any other again.
    bool stored = false;
    if (good) {
        stored = SaveBlock(block).stored;
    } else if (m_session.SessionActive()) {
        m_readbackFile.NoteDamaged(block.blockNumber);
    }
    m_lastResponse = kResponseText;
    SessionEvent event{SessionEvent::Kind::kReadbackBlock, m_session.State()};
    event.block = block.blockNumber;
    event.stored = stored;
    m_host.OnSessionEvent(event);
    m_session.OnBlockFromBox(stored);
}

ReadbackSave ReceiveStream::SaveBlock(const ReadbackBlock& block) {
    ReadbackSave save;
    if (m_session.SessionActive()) {
        save = m_readbackFile.Save(m_readbackPath ? m_readbackPath : m_session.CurrentFileName(),
                                   block);
    } else {
        save.error = "no update is running";
    }
    if (save.keptOriginal) {
        m_host.AppendLog("Kept the original image as " + *save.keptOriginal + "\r\n");
    }
    if (save.stored) {
        m_host.AppendLog(ReadbackLogLine(block));
    } else {
        m_host.AppendLog("Block " + std::to_string(block.blockNumber) +
                         " from the box was not stored and is not acknowledged: " + save.error +
                         "\r\n");
    }
    return save;
}

std::size_t ReceiveStream::EchoText() {
    const std::span<const std::uint8_t> data = Buffered();
    if (data.front() == 0) {
        EchoConsoleText(data.first(1));
        return 1;
    }
    // A run ends before a NUL or after a line feed, so a word on the next
    // line is still recognised; a long run goes out in pieces.
    std::size_t length = 0;
    const std::size_t limit = std::min(data.size(), kEchoCapacity);
    while (length < limit && data[length] != 0) {
        if (data[length++] == '\n') {
            break;
        }
    }
    EchoConsoleText(data.first(length));
    NoteAnswerInsideText(data.first(length));
    return length;
}

void ReceiveStream::NoteAnswerInsideText(std::span<const std::uint8_t> run) {
    // An answer is only taken at the start of a read: behind the box's own
    // text it is shown, not acted on. Telling so explains a stalled update.
    if (!m_session.SessionActive()) {
        return;
    }
    std::span<const std::uint8_t> text = run;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text = text.first(text.size() - 1);
    }
    for (const std::string_view answer : kAnswers) {
        if (text.size() > answer.size() && StartsWith(text.last(answer.size()), answer)) {
            const bool endsLine = !run.empty() && run.back() == '\n';
            m_host.AppendLog(std::string(endsLine ? "" : "\r\n") + "(\"" + std::string(answer) +
                             "\" came behind other text in one read and was not taken as an "
                             "answer)\r\n");
            return;
        }
    }
}

void ReceiveStream::EchoLeftoverThatStartsNoWord() {
    // One or two bytes that cannot begin any word (the line end behind
    // "BOOT" or "ACK") are shown now instead of sticking to the front of the
    // box's next answer; a true split word such as "AC" waits for its rest.
    std::size_t start = 0;
    while (start < m_rxCount && !BeginsSomeWord(Buffered().subspan(start))) {
        ++start;
    }
    if (start == 0) {
        return;
    }
    EchoConsoleText(Buffered().first(start));
    Consume(start);
}

void ReceiveStream::EchoHeldPieceThatBecameNoWord(std::size_t held) {
    // A held "BOO" that the next chunk does not complete was text after all;
    // the new bytes are parsed from their own start.
    if (held == 0 || StartsWithSomeWord(Buffered()) || BeginsSomeWord(Buffered())) {
        return;
    }
    EchoConsoleText(Buffered().first(held));
    Consume(held);
}

void ReceiveStream::EchoConsoleText(std::span<const std::uint8_t> text) {
    // A NUL shows as a line end; outside a session the box's CR and LF are
    // shown swapped.
    const bool swapLineEnds = !m_session.SessionActive();
    std::string echo;
    for (const std::uint8_t byte : text) {
        if (byte == 0) {
            echo += "\r\n";
        } else if (swapLineEnds && (byte == '\r' || byte == '\n')) {
            echo += byte == '\r' ? '\n' : '\r';
        } else {
            echo += static_cast<char>(byte);
        }
    }
    m_host.AppendLog(echo);
}

void ReceiveStream::Consume(std::size_t count) {
    m_rxCount -= count;
    std::memmove(m_rxBuffer.data(), m_rxBuffer.data() + count, m_rxCount);
    std::fill(m_rxBuffer.begin() + static_cast<std::ptrdiff_t>(m_rxCount), m_rxBuffer.end(), 0);
}

}  // namespace vantrel
