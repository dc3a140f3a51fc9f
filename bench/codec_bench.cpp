// Figures for the frame codec: the module checksum over the largest image,
// and every frame of one update of that image.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <vector>

#include "protocol/blocks.h"
#include "protocol/checksum.h"
#include "protocol/frame_codec.h"
#include "protocol/image_kind.h"

namespace vantrel {
namespace {

constexpr std::size_t kLdapImageLength = 1049600;

std::vector<std::uint8_t> LdapImage() {
    std::vector<std::uint8_t> image(kLdapImageLength);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 10));
    }
    return image;
}

void BM_Sum16OfLdapImage(benchmark::State& state) {
    const std::vector<std::uint8_t> image = LdapImage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sum16(image));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_Sum16OfLdapImage);

// GBE, MBE, 1025 blocks, MEN and GEN, each built into a cleared transmit
// buffer as the session does.
void BM_AllFramesOfLdapUpdate(benchmark::State& state) {
    const std::vector<std::uint8_t> image = LdapImage();
    std::array<std::uint8_t, 4097> tx{};
    const auto build = [&tx](const FrameRequest& request) {
        tx.fill(0);
        benchmark::DoNotOptimize(BuildFrame(request, tx));
    };
    for (auto _ : state) {
        FrameRequest request{};
        request.type = kFrameGbe;
        std::memcpy(request.loaderId.data(), "KOSMA_QRN", 10);
        build(request);

        request = FrameRequest{};
        request.type = kFrameMbe;
        request.kind = kImageLdap;
        request.image = image.data();
        request.imageLength = static_cast<std::uint32_t>(image.size());
        request.blockCount = BlocksOf(request.imageLength);
        std::memcpy(request.destAddress.data(), "0x10000000", 11);
        build(request);

        for (std::uint32_t block = 0, offset = 0; offset < image.size();
             ++block, offset += kBlockSize) {
            request = FrameRequest{};
            request.type = kFrameBlk;
            request.blockNumber = block;
            request.blockSize = kBlockSize;
            request.dataLength = static_cast<std::uint32_t>(
                std::min<std::size_t>(kBlockSize, image.size() - offset));
            request.blockData = image.data() + offset;
            build(request);
        }
        for (std::uint32_t type : {kFrameMen, kFrameGen}) {
            request = FrameRequest{};
            request.type = type;
            build(request);
        }
    }
    state.counters["frames"] = 1029;
}
BENCHMARK(BM_AllFramesOfLdapUpdate)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
