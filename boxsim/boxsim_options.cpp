#include "boxsim/boxsim_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>
#include <optional>

namespace vantrel {
namespace {

constexpr std::string_view kFrameNames = "handshake, header, block:N, module-end";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, Number min, Number max) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

// Console text may carry line ends and NULs: \r, \n, \t, \0 and \\.
std::optional<std::string> Unescape(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            result += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case 'r':
                result += '\r';
                break;
            case 'n':
                result += '\n';
                break;
            case 't':
                result += '\t';
                break;
            case '0':
                result += '\0';
                break;
            case '\\':
                result += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    return result;
}

std::string Milliseconds(std::string_view value, std::chrono::milliseconds& out, int max) {
    const auto number = ParseNumber(value, 0, max);
    if (!number) {
        return "'" + std::string(value) + "' is not a number of milliseconds from 0 to " +
               std::to_string(max);
    }
    out = std::chrono::milliseconds{*number};
    return {};
}

std::string Selectors(std::string_view value, std::vector<FrameSelector>& out,
                      bool globalEndAllowed) {
    const auto selectors = ParseFrameSelectorList(value);
    const auto isGlobalEnd = [](const FrameSelector& selector) {
        return selector.frame == FrameSelector::Frame::kGlobalEnd;
    };
    if (!selectors || (!globalEndAllowed && std::ranges::any_of(*selectors, isGlobalEnd))) {
        return "'" + std::string(value) + "' is not a list of frames (" + std::string(kFrameNames) +
               (globalEndAllowed ? ", global-end)" : ")");
    }
    out.insert(out.end(), selectors->begin(), selectors->end());
    return {};
}

std::string NonEmpty(const std::string& value, std::string& out, const char* what) {
    out = value;
    return value.empty() ? std::string("needs ") + what : std::string();
}

std::string BlockNumbers(std::string_view value, std::vector<std::uint16_t>& out) {
    std::string_view rest = value;
    while (true) {
        const std::size_t comma = rest.find(',');
        const auto block = ParseNumber<std::uint16_t>(rest.substr(0, comma), 0, 65535);
        if (!block) {
            return "'" + std::string(value) + "' is not a list of block numbers (0 to 65535)";
        }
        out.push_back(*block);
        if (comma == std::string_view::npos) {
            return {};
        }
        rest.remove_prefix(comma + 1);
    }
}

void AddLineOptions(CLI::App& app, BoxSimOptions& o) {
    const char* group = "Line";
    AddCheckedOption(
        app, "--device", "PATH",
        "serve this serial device (raw 115200 8N1) instead of a new "
        "pseudo-terminal",
        [&o](const std::string& v) { return NonEmpty(v, o.devicePath, "a device path"); })
        ->group(group);
    AddCheckedOption(app, "--link", "PATH",
                     "make PATH a link to the pseudo-terminal and print it instead; it goes "
                     "before the pseudo-terminal closes, so that a tool opening it again then "
                     "finds no such device rather than another pseudo-terminal",
                     [&o](const std::string& v) { return NonEmpty(v, o.linkPath, "a path"); })
        ->excludes("--device")
        ->group(group);
    AddCheckedOption(
        app, "--boot-delay", "MS",
        "wait before \"BOOT\" (default 200; on a pseudo-terminal counted from the "
        "tool's open of the line)",
        [&o](const std::string& v) { return Milliseconds(v, o.peer.bootDelay, 600'000); })
        ->group(group);
    AddCheckedOption(app, "--baud", "RATE",
                     "pace answers: each waits for the wire time of the frame it answers at RATE "
                     "baud (default: at once)",
                     [&o](const std::string& v) {
                         const auto baud = ParseNumber<std::uint32_t>(v, 50, 4'000'000);
                         o.peer.pacingBaud = baud.value_or(0);
                         return baud ? std::string()
                                     : "'" + v + "' is not a baud rate from 50 to 4000000";
                     })
        ->group(group);
    AddCheckedOption(app, "--out", "FILE", "write the module that arrived to FILE",
                     [&o](const std::string& v) { return NonEmpty(v, o.outPath, "a file name"); })
        ->group(group);
}

void AddBenchOptions(CLI::App& app, BoxSimOptions& o) {
    const char* group = "Bench";
    app.add_flag("--bench", o.peer.bench,
                 "announce \"BOOT\" every --announce-every until a handshake arrives, and serve "
                 "one update after another until SIGINT or SIGTERM")
        ->group(group);
    app.add_flag("--stay", o.peer.stayAfterEnd,
                 "after one update keep the line open and say nothing more, until SIGINT or "
                 "SIGTERM (a box taken off a station's line)")
        ->group(group)
        ->excludes("--bench");
    AddCheckedOption(app, "--announce-every", "MS", "default 3000", [&o](const std::string& v) {
        std::string error = Milliseconds(v, o.peer.announceInterval, 600'000);
        if (error.empty() && o.peer.announceInterval.count() == 0) {
            error = "must be above 0";
        }
        return error;
    })->group(group);
}

void AddFaultOptions(CLI::App& app, BoxSimOptions& o) {
    const char* group =
        "Faults (FRAMES is a comma list of handshake, header, block:N, module-end, and for "
        "--silent, --vanish and --restart-at also global-end; options may repeat)";
    AddCheckedOption(app, "--nak", "FRAMES",
                     "refuse each listed frame once with NAK; the tool must send it again, "
                     "identical (a refused module end fails the update)",
                     [&o](const std::string& v) { return Selectors(v, o.peer.nakFrames, false); })
        ->group(group);
    AddCheckedOption(
        app, "--nak-always", "FRAMES",
        "refuse each listed frame with NAK every time it arrives, for ever (a box that never "
        "takes it)",
        [&o](const std::string& v) { return Selectors(v, o.peer.nakAlwaysFrames, false); })
        ->group(group);
    AddCheckedOption(app, "--nak-random", "P",
                     "refuse each handshake, header and block with probability P (0 to below 1)",
                     [&o](const std::string& v) {
                         const auto p = ParseNumber(std::string_view(v), 0.0, 1.0);
                         if (!p || *p >= 1.0) {
                             return "'" + v + "' is not a probability from 0 to below 1";
                         }
                         o.peer.nakProbability = *p;
                         return std::string();
                     })
        ->group(group);
    AddCheckedOption(app, "--seed", "N", "seed for --nak-random (default 1)",
                     [&o](const std::string& v) {
                         const auto seed = ParseNumber<std::uint32_t>(
                             v, 0, std::numeric_limits<std::uint32_t>::max());
                         o.peer.nakSeed = seed.value_or(0);
                         return seed ? std::string() : "'" + v + "' is not a number";
                     })
        ->group(group);
    AddCheckedOption(app, "--silent", "FRAMES", "never answer these frames",
                     [&o](const std::string& v) { return Selectors(v, o.peer.silentFrames, true); })
        ->group(group);
    AddCheckedOption(app, "--vanish", "FRAMES", "close the line when these frames arrive",
                     [&o](const std::string& v) { return Selectors(v, o.peer.vanishFrames, true); })
        ->group(group);
    AddCheckedOption(
        app, "--restart-at", "FRAMES",
        "start again when a listed frame arrives: answer \"BOOT\" instead, then wait for a "
        "handshake and serve a whole new update (once per entry)",
        [&o](const std::string& v) { return Selectors(v, o.peer.restartFrames, true); })
        ->group(group);
    AddCheckedOption(
        app, "--console-text", "TEXT",
        "console text written before answers; \\r, \\n, \\t, \\0 and \\\\ are "
        "understood",
        [&o](const std::string& v) {
            const auto text = Unescape(v);
            o.peer.consoleText = text.value_or("");
            return text ? std::string()
                        : std::string("only \\r, \\n, \\t, \\0 and \\\\ may follow a backslash");
        })
        ->group(group);
    AddCheckedOption(app, "--console-every", "N", "only before every Nth answer (default 1)",
                     [&o](const std::string& v) {
                         const auto every = ParseNumber<std::uint32_t>(v, 1, 1'000'000);
                         o.peer.consoleEvery = every.value_or(1);
                         return every ? std::string()
                                      : "'" + v + "' is not a number from 1 to 1000000";
                     })
        ->group(group);
    app.add_flag("--split-answers", o.peer.splitAnswers,
                 "write each answer in two pieces (\"AC\", then \"K\")")
        ->group(group);
    AddCheckedOption(
        app, "--piece-gap", "MS",
        "pause after console text and between the pieces of an answer (default 20)",
        [&o](const std::string& v) { return Milliseconds(v, o.peer.pieceGap, 10'000); })
        ->group(group);
}

void AddReadbackOptions(CLI::App& app, BoxSimOptions& o) {
    const char* group = "Readback";
    AddCheckedOption(
        app, "--readback", "FILE",
        "answer the module header with the blocks of FILE (block 0 first, the last "
        "one zero-padded), then MEN",
        [&o](const std::string& v) { return NonEmpty(v, o.readbackPath, "a file name"); })
        ->group(group);
    AddCheckedOption(
        app, "--readback-bad", "BLOCKS",
        "comma list of block numbers sent with a wrong checksum; the tool does not "
        "answer those",
        [&o](const std::string& v) { return BlockNumbers(v, o.peer.readbackBadBlocks); })
        ->group(group);
    AddCheckedOption(
        app, "--readback-pause", "MS", "pause after such a block before the next (default 200)",
        [&o](const std::string& v) { return Milliseconds(v, o.peer.readbackPause, 60'000); })
        ->group(group);
}

}  // namespace

std::variant<BoxSimOptions, CommandLineExit> ParseBoxSimOptions(int argc, const char* const* argv) {
    BoxSimOptions options;
    CLI::App app{R"(Plays the set-top box's boot loader for Vantrel. Without --device it creates a
pseudo-terminal and prints the path of its far end on the first line: point
the tool at that path (VANTREL_COM1=PATH). It announces "BOOT", checks every
frame of the update byte for byte, answers ACK, or NAK to a frame that fails a
check (reported on stderr; the run then fails), and prints a summary at the end.)",
                 "vantrel-boxsim"};
    SetUpCommandLine(app);
    app.footer(
        "Exit status: 0 when an update arrived whole and verified (or a readback\n"
        "completed) and no frame failed a check, 1 otherwise, 2 for bad arguments.");
    AddLineOptions(app, options);
    AddBenchOptions(app, options);
    AddFaultOptions(app, options);
    AddReadbackOptions(app, options);
    if (auto exit = ParseCommandLine(app, argc, argv)) {
        return *exit;
    }
    if (!options.peer.readbackBadBlocks.empty() && options.readbackPath.empty()) {
        return UsageError(app.get_name(), "--readback-bad needs --readback");
    }
    return options;
}

}  // namespace vantrel
