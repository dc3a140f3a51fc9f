#include "station/dashboard.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "protocol/blocks.h"
#include "text/control_escape.h"

namespace vantrel {
namespace {

constexpr std::size_t kBarCells = 20;

std::string Fit(std::string text, std::size_t width) {
    if (text.size() <= width) {
        return text + std::string(width - text.size(), ' ');
    }
    // Cut on a character boundary, so the row stays valid UTF-8.
    std::size_t end = width;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end) + std::string(width - end, ' ');
}

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

double KilobytesPerSecond(std::uint32_t blocks, double seconds) {
    return seconds > 0 ? blocks * static_cast<double>(kBlockSize) / 1000.0 / seconds : 0;
}

std::string Clock(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string Bar(std::uint32_t done, std::uint32_t total) {
    const std::size_t filled = total > 0 ? std::size_t{done} * kBarCells / total : 0;
    return "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "]";
}

std::string TransferColumns(const PortSnapshot& port) {
    if (port.blocksTotal == 0) {
        return std::string(kBarCells + 2, ' ');
    }
    const double rate = KilobytesPerSecond(port.blocksDone, port.secondsSinceBoot);
    std::string text =
        Bar(port.blocksDone, port.blocksTotal) + " " +
        Fit(std::to_string(port.blocksDone) + "/" + std::to_string(port.blocksTotal), 11) +
        Printf("%3.0f%% ", 100.0 * port.blocksDone / port.blocksTotal) +
        Fit(Printf("%.1f kB/s", rate), 11);
    const bool running = port.phase == PortPhase::kUpdating && port.blocksDone > 0;
    const double left =
        running ? port.secondsSinceBoot * (port.blocksTotal - port.blocksDone) / port.blocksDone
                : 0;
    return text + Fit(running ? Clock(left) + " left" : "", 11);
}

// Wide enough for every port's label and device, up to a point.
struct NameWidths {
    std::size_t label = 9;
    std::size_t device = 14;
};

NameWidths WidthsFor(const std::vector<PortSnapshot>& ports) {
    constexpr std::size_t kMostColumns = 40;
    NameWidths widths;
    for (const PortSnapshot& port : ports) {
        widths.label = std::max(widths.label, std::min(port.label.size() + 2, kMostColumns));
        widths.device = std::max(widths.device, std::min(port.device.size() + 2, kMostColumns));
    }
    return widths;
}

std::string PortRow(const PortSnapshot& port, bool loop, const NameWidths& widths) {
    std::string row = Fit(port.label, widths.label) + Fit(port.device, widths.device) +
                      Fit(PhaseName(port.phase), 17) + TransferColumns(port) + " again " +
                      std::to_string(port.framesSentAgain);
    if (loop) {
        row += "  done " + std::to_string(port.unitsCompleted) + " failed " +
               std::to_string(port.unitsFailed);
    }
    if (!port.reason.empty()) {
        row += "  " + port.reason;
    }
    return row;
}

std::string TotalRow(const std::vector<PortSnapshot>& ports, bool loop, const NameWidths& widths) {
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    std::uint32_t again = 0;
    unsigned completed = 0;
    unsigned failed = 0;
    unsigned updating = 0;
    double rate = 0;
    for (const PortSnapshot& port : ports) {
        done += port.blocksDone;
        total += port.blocksTotal;
        again += port.framesSentAgain;
        completed += port.unitsCompleted;
        failed += port.unitsFailed;
        if (port.phase == PortPhase::kUpdating) {
            ++updating;
            rate += KilobytesPerSecond(port.blocksDone, port.secondsSinceBoot);
        }
    }
    std::string row = Fit("total", widths.label) +
                      Fit(std::to_string(ports.size()) + " ports", widths.device) +
                      Fit(std::to_string(updating) + " updating", 17) +
                      Fit(std::to_string(done) + "/" + std::to_string(total) + " blocks", 22) +
                      " " + Printf("%.1f kB/s", rate) + "  again " + std::to_string(again);
    if (loop) {
        row += "  done " + std::to_string(completed) + " failed " + std::to_string(failed);
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
                                       std::size_t width) {
    std::vector<PortSnapshot> shown;
    for (const PortSnapshot& port : ports) {
        shown.push_back(Shown(port));
    }
    const NameWidths widths = WidthsFor(shown);
    std::vector<std::string> rows;
    for (const PortSnapshot& port : shown) {
        rows.push_back(TrimRight(Fit(PortRow(port, loop, widths), width)));
    }
    rows.push_back(TrimRight(Fit(TotalRow(shown, loop, widths), width)));
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

}  // namespace vantrel
