#pragma once

#include <optional>
#include <string>

#include "station/port_snapshot.h"

namespace vantrel {

// How a port's transfer goes, from its snapshot.
struct TransferFigures {
    double percent = 0;
    double kilobytesPerSecond = 0;
    std::optional<double> secondsLeft;  // while blocks are being acknowledged
};

TransferFigures FiguresOf(const PortSnapshot& port);

// "48.2 kB/s · 0:12 left · 3 sent again"; empty before the first block.
std::string TransferText(const PortSnapshot& port);

}  // namespace vantrel
