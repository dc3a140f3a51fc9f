#include "tests/engine/engine_harness.h"

#include "protocol/checksum.h"
#include "tests/support/wait_until.h"

namespace vantrel::test {

EngineHarness::EngineHarness(std::size_t length) : image(length) {
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + i / 1024);
    }
    imagePath = dir.Write("image.bin", std::string(image.begin(), image.end()));
    EXPECT_EQ(slots.LoadImageIntoSlot("0x10000000", imagePath, 1), LoadResult::kLoaded);
}

void EngineHarness::OnSessionFailed() {
    ended = "failed";
    session.OnSessionFailed();
}

void EngineHarness::OnSessionDone() {
    ended = "done";
    session.OnSessionDone();
}

void EngineHarness::WriteFrame(std::span<const std::uint8_t> frame) {
    std::lock_guard lock(m_mutex);
    m_frames.emplace_back(frame.begin(), frame.end());
}

void EngineHarness::FillLoaderId(std::array<std::uint8_t, kLoaderIdLength + 1>& loaderId) {
    std::memcpy(loaderId.data(), "KOSMA_QRN", 10);
}

void EngineHarness::Receive(std::string_view bytes) {
    Receive(Of(bytes));
}

bool EngineHarness::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto runPending = [this] { ui.WaitAndRunPending(std::chrono::milliseconds(5)); };
    return WaitUntil(done, runPending, limit);
}

Bytes EngineHarness::NextFrame() {
    Bytes frame;
    const auto takeFrame = [&] {
        std::lock_guard lock(m_mutex);
        if (m_taken == m_frames.size()) {
            return false;
        }
        frame = m_frames[m_taken++];
        return true;
    };
    if (!RunUntil(takeFrame, std::chrono::seconds(5))) {
        ADD_FAILURE() << "no frame written within five seconds";
    }
    return frame;
}

bool EngineHarness::NoFurtherFrame() {
    RunUntil([] { return false; }, std::chrono::milliseconds(150));
    std::lock_guard lock(m_mutex);
    return m_taken == m_frames.size();
}

std::string EngineHarness::WaitForEnd() {
    RunUntil([this] { return !session.WorkerRunning(); }, std::chrono::seconds(5));
    EXPECT_FALSE(session.WorkerRunning()) << "the worker did not end";
    return ended;
}

Bytes EngineHarness::BoxBlock(std::uint16_t number, const Bytes& data, bool goodChecksum) {
    Bytes frame(1032, 0);
    std::memcpy(frame.data(), "BLK", 3);
    frame[3] = static_cast<std::uint8_t>(number >> 8);
    frame[4] = static_cast<std::uint8_t>(number);
    frame[5] = static_cast<std::uint8_t>(data.size() >> 8);
    frame[6] = static_cast<std::uint8_t>(data.size());
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 1024), frame.begin() + 7);
    frame[1031] = static_cast<std::uint8_t>(Sum8({frame.data(), 1031}) + (goodChecksum ? 0 : 1));
    return frame;
}

}  // namespace vantrel::test
