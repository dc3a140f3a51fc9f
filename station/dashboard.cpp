#include "station/dashboard.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "station/slot_face.h"
#include "station/transfer_figures.h"
#include "text/control_escape.h"
#include "text/display_width.h"

namespace vantrel {
namespace {

constexpr std::size_t kGap = 2;
constexpr std::size_t kShortDeviceColumns = 40;
constexpr std::size_t kFewestNameColumns = 12;
constexpr std::size_t kStateColumns = 17;  // "waiting for BOOT" and a blank
constexpr std::size_t kBarCells = 20;
constexpr std::size_t kFewestBarCells = 4;
constexpr std::size_t kPerCentColumns = 5;  // "100% "
constexpr std::size_t kRateColumns = 11;
constexpr std::size_t kTimeLeftColumns = 11;

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Bar(std::uint32_t done, std::uint32_t total, std::size_t cells) {
    const std::size_t filled = total > 0 ? std::size_t{done} * cells / total : 0;
    return "[" + std::string(filled, '#') + std::string(cells - filled, '-') + "]";
}

std::string BlocksText(const PortSnapshot& port) {
    return std::to_string(port.blocksDone) + "/" + std::to_string(port.blocksTotal);
}

// What a row ends with before the reason: frames sent again, and in a loop
// the units done, failed and stopped.
std::string Counters(const PortSnapshot& port, bool loop) {
    std::string text = "again " + std::to_string(port.framesSentAgain);
    if (loop) {
        text += "  " + port.units.Text(" ");
    }
    return text;
}

// The columns every row is drawn with. A narrower terminal shortens the
// device, then loses it, then the rate, time left and counters; then the
// bar shortens, then the name; the name, the state and the blocks with
// their per cent stay.
struct Layout {
    std::size_t name = 0;
    std::size_t device = 0;  // 0: not shown
    std::size_t barCells = kBarCells;
    std::size_t blocks = 0;
    std::size_t details = 0;  // rate, time left and counters; 0: not shown

    std::size_t Width() const {
        const std::size_t bar = barCells > 0 ? barCells + 3 : 0;
        return name + kGap + (device > 0 ? device + kGap : 0) + kStateColumns + bar + blocks + 1 +
               kPerCentColumns + details;
    }
};

Layout WidestLayout(const std::vector<PortSnapshot>& ports, bool loop) {
    Layout layout;
    layout.name = DisplayWidth("total");
    layout.device = DisplayWidth("99 ports");
    std::size_t counters = 0;
    for (const PortSnapshot& port : ports) {
        layout.name = std::max(layout.name, DisplayWidth(port.label));
        layout.device = std::max(layout.device, DisplayWidth(port.device));
        layout.blocks = std::max(layout.blocks, BlocksText(port).size());
        counters = std::max(counters, Counters(port, loop).size());
    }
    layout.details = kRateColumns + kTimeLeftColumns + counters;
    return layout;
}

Layout LayoutFor(const std::vector<PortSnapshot>& ports, bool loop, std::size_t width) {
    Layout layout = WidestLayout(ports, loop);
    const auto over = [&] { return layout.Width() > width ? layout.Width() - width : 0; };
    if (over() > 0) {
        layout.device = std::min(layout.device, kShortDeviceColumns);
    }
    if (over() > 0) {
        layout.device = 0;
    }
    if (over() > 0) {
        layout.details = 0;
    }
    layout.barCells -= std::min(over(), kBarCells - kFewestBarCells);
    if (over() > 0 && layout.name > kFewestNameColumns) {
        layout.name -= std::min(over(), layout.name - kFewestNameColumns);
    }
    if (over() > 0) {
        layout.barCells = 0;
    }
    return layout;
}

std::string Name(const std::string& text, std::size_t columns) {
    return FitToWidth(ShortenInMiddle(text, columns), columns + kGap);
}

std::string TransferColumns(const PortSnapshot& port, const Layout& layout) {
    const std::size_t bar = layout.barCells > 0 ? layout.barCells + 3 : 0;
    if (port.blocksTotal == 0) {
        return std::string(bar + layout.blocks + 1 + kPerCentColumns, ' ');
    }
    std::string text;
    if (layout.barCells > 0) {
        text += Bar(port.blocksDone, port.blocksTotal, layout.barCells) + " ";
    }
    return text + FitToWidth(BlocksText(port), layout.blocks + 1) +
           Printf("%3.0f%% ", 100.0 * port.blocksDone / port.blocksTotal);
}

std::string DetailColumns(const PortSnapshot& port, bool loop) {
    const TransferFigures figures = FiguresOf(port);
    const std::string transfer =
        port.blocksTotal == 0
            ? std::string(kRateColumns + kTimeLeftColumns, ' ')
            : FitToWidth(Printf("%.1f kB/s", figures.kilobytesPerSecond), kRateColumns) +
                  FitToWidth(figures.secondsLeft && port.blocksDone > 0
                                 ? ClockText(*figures.secondsLeft) + " left"
                                 : "",
                             kTimeLeftColumns);
    return transfer + Counters(port, loop);
}

std::string PortRow(const PortSnapshot& port, bool loop, const Layout& layout) {
    std::string row = Name(port.label, layout.name);
    if (layout.device > 0) {
        row += Name(port.device, layout.device);
    }
    row += FitToWidth(PhaseName(port.phase), kStateColumns) + TransferColumns(port, layout);
    if (layout.details > 0) {
        row += DetailColumns(port, loop);
    }
    if (!port.reason.empty()) {
        row += "  " + port.reason;
    }
    return row;
}

std::string TotalRow(const std::vector<PortSnapshot>& ports, bool loop, const Layout& layout) {
    PortSnapshot sum;
    unsigned updating = 0;
    double rate = 0;
    for (const PortSnapshot& port : ports) {
        sum.blocksDone += port.blocksDone;
        sum.blocksTotal += port.blocksTotal;
        sum.framesSentAgain += port.framesSentAgain;
        sum.units.done += port.units.done;
        sum.units.failed += port.units.failed;
        sum.units.stopped += port.units.stopped;
        if (port.phase == PortPhase::kUpdating) {
            ++updating;
            rate += FiguresOf(port).kilobytesPerSecond;
        }
    }
    std::string row = Name("total", layout.name);
    if (layout.device > 0) {
        row += Name(std::to_string(ports.size()) + " ports", layout.device);
    }
    row += FitToWidth(std::to_string(updating) + " updating", kStateColumns) + BlocksText(sum) +
           " blocks";
    if (layout.details > 0) {
        row += "  " + Printf("%.1f kB/s", rate) + "  " + Counters(sum, loop);
    }
    return row;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

// The port's texts as the terminal will show them, escaped before they are
// measured: a row that grew after fitting would wrap and spoil the redraw.
PortSnapshot Shown(PortSnapshot port) {
    for (std::string* text : {&port.label, &port.device, &port.reason}) {
        *text = EscapeControls(*text);
    }
    return port;
}

}  // namespace

std::vector<std::string> DashboardRows(const std::vector<PortSnapshot>& ports, bool loop,
                                       std::size_t width, std::string_view notice) {
    std::vector<PortSnapshot> shown;
    for (const PortSnapshot& port : ports) {
        shown.push_back(Shown(port));
    }
    const Layout layout = LayoutFor(shown, loop, width);
    std::vector<std::string> rows;
    for (const PortSnapshot& port : shown) {
        rows.push_back(TrimRight(CutToWidth(PortRow(port, loop, layout), width)));
    }
    rows.push_back(TrimRight(CutToWidth(TotalRow(shown, loop, layout), width)));
    if (!notice.empty()) {
        rows.push_back(TrimRight(CutToWidth(std::string(notice), width)));
    }
    return rows;
}

std::string RedrawSequence(std::size_t shownBefore, const std::vector<std::string>& rows) {
    std::string out;
    if (shownBefore > 0) {
        out += "\r\x1b[" + std::to_string(shownBefore) + "A";
    }
    for (const std::string& row : rows) {
        out += "\x1b[2K" + row + "\n";
    }
    // Rows left over from a longer drawing are cleared too.
    for (std::size_t i = rows.size(); i < shownBefore; ++i) {
        out += "\x1b[2K\n";
    }
    return out;
}

std::string DrawAfreshSequence(const std::vector<std::string>& rows) {
    return "\x1b[H\x1b[2J" + RedrawSequence(0, rows);
}

}  // namespace vantrel
