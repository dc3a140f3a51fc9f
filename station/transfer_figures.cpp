#include "station/transfer_figures.h"

#include <cstdio>

#include "protocol/blocks.h"
#include "station/slot_face.h"

namespace vantrel {

TransferFigures FiguresOf(const PortSnapshot& port) {
    TransferFigures figures;
    if (port.blocksTotal > 0) {
        figures.percent = 100.0 * port.blocksDone / port.blocksTotal;
    }
    if (port.secondsSinceBoot > 0) {
        figures.kilobytesPerSecond =
            port.blocksDone * static_cast<double>(kBlockSize) / 1000.0 / port.secondsSinceBoot;
    }
    if (port.phase == PortPhase::kUpdating && port.blocksDone > 0 &&
        port.blocksDone <= port.blocksTotal) {
        figures.secondsLeft =
            port.secondsSinceBoot * (port.blocksTotal - port.blocksDone) / port.blocksDone;
    }
    return figures;
}

std::string TransferText(const PortSnapshot& port) {
    if (port.blocksDone == 0) {
        return {};
    }
    const TransferFigures figures = FiguresOf(port);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f kB/s", figures.kilobytesPerSecond);
    std::string text = rate;
    if (figures.secondsLeft) {
        text += " · " + ClockText(*figures.secondsLeft) + " left";
    }
    if (port.framesSentAgain > 0) {
        text += " · " + std::to_string(port.framesSentAgain) + " sent again";
    }
    return text;
}

}  // namespace vantrel
