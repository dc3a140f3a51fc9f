// The receive stream of a running update session, fed what a box might send.
//
// Input layout:
//   byte 0     bits 0-2: how many chunk lengths follow (0: the rest is one chunk)
//              bits 3-4: size of the image being written (see kImageSizes)
//              bit 5:    the window starts a new session halfway through
//   n bytes    chunk lengths, taken in turn: a byte b cuts b + 1 bytes
//   the rest   the box's bytes, arriving in chunks of those lengths
//
// Between chunks the UI thread runs the worker's calls until the worker has
// been quiet for a moment, so that answers move the session through its
// states and the worker writes the frames they call for. Every input ends
// with Stop(); a worker that is still running afterwards, frames the box did
// not ask for, or a worker that never settles are findings.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/image_file.h"
#include "engine/module_slots.h"
#include "engine/receive_stream.h"
#include "engine/session_host.h"
#include "engine/update_session.h"
#include "fuzz/fuzz_support.h"
#include "platform/ui_thread_call.h"
#include "protocol/blocks.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"

namespace vantrel {
namespace {

using fuzz::Require;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSizes[] = {1, kBlockSize, 1500, 3 * kBlockSize + 100};
constexpr std::string_view kDestAddress = "0x10000000";
constexpr std::uint32_t kDestAddressValue = 0x10000000;
// The worker counts as settled once it has done nothing for this long: a
// while after a chunk that moved the session on, a moment after any other.
constexpr auto kQuietAfterMove = std::chrono::microseconds(300);
constexpr auto kQuiet = std::chrono::microseconds(20);
// A worker still busy after this long without new input is spinning.
constexpr auto kSettleLimit = std::chrono::seconds(2);

std::uint32_t ReadBE32(const std::uint8_t* bytes) {
    return (std::uint32_t{ReadBE16(bytes)} << 16) | ReadBE16(bytes + 2);
}

// The window, as far as the engine sees it: checks which thread each call
// arrives on and that every frame the worker writes is a whole, correct
// frame of the image being written.
class FuzzHost final : public SessionHost {
  public:
    explicit FuzzHost(UiThreadCalls& ui) : m_ui(ui) {}

    void Attach(UpdateSession& session) { m_session = &session; }
    // The module the next session writes; only while no worker runs.
    void ExpectImage(std::vector<std::uint8_t> image) { m_image = std::move(image); }

    void ShowStatus(StatusCode code) override {
        Require(m_ui.IsUiThread(), "ShowStatus on the UI thread");
        Require(code >= kStatusCheckingPort && code <= kStatusUpdateFailed,
                "the engine shows a known status");
    }
    void AppendLog(std::string_view) override {
        Require(m_ui.IsUiThread(), "AppendLog on the UI thread");
    }
    void OnSessionFailed() override {
        Require(m_ui.IsUiThread(), "OnSessionFailed on the UI thread");
        m_session->OnSessionFailed();
    }
    void OnSessionDone() override {
        Require(m_ui.IsUiThread(), "OnSessionDone on the UI thread");
        m_session->OnSessionDone();
    }
    void OnSessionEvent(const SessionEvent&) override {
        Require(m_ui.IsUiThread(), "OnSessionEvent on the UI thread");
    }

    void WriteFrame(std::span<const std::uint8_t> frame) override {
        Require(!m_ui.IsUiThread(), "WriteFrame on the worker");
        CheckFrame(frame);
        ++m_frames;
        ++m_activity;
    }
    void FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) override {
        Require(!m_ui.IsUiThread(), "FillLoaderId on the worker");
        std::memcpy(loaderId.data(), "KOSMA_QRN", 10);
        ++m_activity;
    }

    std::uint64_t Frames() const { return m_frames.load(); }
    std::uint64_t Activity() const { return m_activity.load(); }

  private:
    static bool Starts(std::span<const std::uint8_t> frame, std::string_view word) {
        return frame.size() >= word.size() &&
               std::memcmp(frame.data(), word.data(), word.size()) == 0;
    }

    void CheckFrame(std::span<const std::uint8_t> frame) const {
        if (Starts(frame, "GBE")) {
            Require(frame.size() == kGbeFrameLength, "GBE length");
            Require(frame[3] == 0x01, "GBE byte 3");
            Require(std::memcmp(&frame[4], "KOSMA_QRN", 10) == 0, "GBE loader identifier");
            for (std::size_t i = 14; i < kGbeFrameLength; ++i) {
                Require(frame[i] == 0, "GBE identifier padded with zeros");
            }
        } else if (Starts(frame, "MBE")) {
            CheckModuleHeader(frame);
        } else if (Starts(frame, "BLK")) {
            CheckBlock(frame);
        } else {
            Require(frame.size() == kCommandLength, "a command is three bytes");
            Require(Starts(frame, "MEN") || Starts(frame, "GEN") || Starts(frame, "ACK") ||
                        Starts(frame, "NAK") || Starts(frame, "CNL"),
                    "a command the tool knows");
        }
    }

    void CheckModuleHeader(std::span<const std::uint8_t> frame) const {
        Require(frame.size() == kMbeFrameLength, "MBE length");
        std::array<char, 2> tag{};
        ModuleTag(0, kImageLoad, tag);
        Require(std::memcmp(&frame[3], tag.data(), tag.size()) == 0, "MBE tag");
        const std::size_t blocks = BlocksOf(m_image.size());
        Require(ReadBE16(&frame[5]) == blocks, "MBE block count");
        Require(ReadBE32(&frame[7]) == kDestAddressValue, "MBE destination address");
        Require(ReadBE32(&frame[11]) == m_image.size(), "MBE module length");
        Require(ReadBE16(&frame[15]) == Sum16(m_image), "MBE module checksum");
    }

    void CheckBlock(std::span<const std::uint8_t> frame) const {
        Require(frame.size() == kBlkFrameLength, "BLK length");
        const std::size_t offset = std::size_t{ReadBE16(&frame[3])} * kBlockSize;
        Require(offset < m_image.size(), "BLK within the image");
        const std::size_t length = std::min<std::size_t>(kBlockSize, m_image.size() - offset);
        Require(ReadBE16(&frame[5]) == length, "BLK data length");
        const auto data = frame.subspan(kBlkHeaderLength, length);
        Require(std::memcmp(data.data(), m_image.data() + offset, length) == 0,
                "BLK carries the image's bytes at its number x 1024");
        for (std::size_t i = kBlkHeaderLength + length; i + 1 < kBlkFrameLength; ++i) {
            Require(frame[i] == 0, "BLK zero fill");
        }
        Require(frame.back() == Sum8(data), "BLK checksum");
    }

    UiThreadCalls& m_ui;
    UpdateSession* m_session = nullptr;
    std::vector<std::uint8_t> m_image;
    std::atomic<std::uint64_t> m_frames{0};
    std::atomic<std::uint64_t> m_activity{0};
};

std::vector<std::uint8_t> ImageBytes(std::size_t length) {
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + i / kBlockSize);
    }
    return image;
}

// One window with its engine, for one input.
class Window {
  public:
    explicit Window(std::size_t imageLength)
        : m_image(ImageBytes(imageLength)), m_imagePath(fuzz::ScratchDir::Get().File("image.bin")) {
        m_host.Attach(m_session);
    }

    // What Start does: the operator's image into the slot, a fresh stream,
    // a new session.
    void Start() {
        fuzz::ScratchDir::Get().Write("image.bin", m_image);
        Require(
            m_slots.LoadImageIntoSlot(kDestAddress, m_imagePath, kImageLoad) == LoadResult::kLoaded,
            "image loaded");
        m_host.ExpectImage(m_image);
        m_stream.Reset();
        m_session.StartSession();
        ++m_sessions;
    }

    void Receive(std::span<const std::uint8_t> chunk) {
        const SessionState state = m_session.State();
        const std::uint32_t blocks = m_session.CurrentProgress().blockCounter;
        m_stream.OnCommData(chunk);
        m_received += chunk.size();
        const bool moved =
            m_session.State() != state || m_session.CurrentProgress().blockCounter != blocks;
        Settle(moved ? kQuietAfterMove : kQuiet);
    }

    void Stop() {
        m_session.Stop();
        Require(!m_session.WorkerRunning(), "no worker runs after Stop");
    }

  private:
    // Runs the worker's calls onto this thread until it has been quiet for
    // `quiet`.
    void Settle(Clock::duration quiet) {
        const Clock::time_point start = Clock::now();
        Clock::time_point quietSince = start;
        std::uint64_t seen = m_host.Activity();
        while (true) {
            const bool ran = m_ui.WaitAndRunPending(std::chrono::milliseconds(0));
            const std::uint64_t activity = m_host.Activity();
            const Clock::time_point now = Clock::now();
            if (ran || activity != seen) {
                seen = activity;
                quietSince = now;
            } else if (now - quietSince >= quiet) {
                break;
            } else {
                std::this_thread::yield();
            }
            Require(now - start < kSettleLimit, "the worker settles without new input");
        }
        // Every frame answers something the box sent (at least three bytes
        // each), apart from the module end after the last block.
        Require(m_host.Frames() <= m_received / kCommandLength + m_sessions,
                "the worker writes no frame the box did not ask for");
    }

    const std::vector<std::uint8_t> m_image;
    const std::string m_imagePath;
    UiThreadCalls m_ui;
    FuzzHost m_host{m_ui};
    ModuleSlots m_slots;
    UpdateSession m_session{m_slots, m_host, m_ui};
    ReceiveStream m_stream{m_session, m_host};
    std::uint64_t m_received = 0;
    std::uint64_t m_sessions = 0;
};

}  // namespace
}  // namespace vantrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const std::size_t lengthCount = std::min<std::size_t>(control & 0x07, size - 1);
    const std::span<const std::uint8_t> lengths(data + 1, lengthCount);
    std::span<const std::uint8_t> stream(data + 1 + lengthCount, size - 1 - lengthCount);
    const std::size_t imageLength = kImageSizes[(control >> 3) & 0x03];
    const bool restartHalfway = (control & 0x20) != 0;

    // Blocks the box sends back land in the image file and beside it.
    fuzz::ScratchDir::Get().Clear();
    Window window(imageLength);
    window.Start();
    const std::size_t half = stream.size() / 2;
    std::size_t fed = 0;
    bool restarted = false;
    for (std::size_t next = 0; !stream.empty(); ++next) {
        const std::size_t cut =
            lengths.empty() ? stream.size() : std::size_t{lengths[next % lengths.size()]} + 1;
        const auto chunk = stream.first(std::min(cut, stream.size()));
        window.Receive(chunk);
        stream = stream.subspan(chunk.size());
        fed += chunk.size();
        if (restartHalfway && !restarted && fed >= half) {
            window.Stop();
            window.Start();
            restarted = true;
        }
    }
    window.Stop();
    return 0;
}
