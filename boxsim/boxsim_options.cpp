#include "boxsim/boxsim_options.h"

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

using Handler = std::string (*)(BoxSimOptions& options, std::string_view value);

struct CommandOption {
    std::string_view name;
    bool takesValue;
    Handler apply;  // returns an error text, empty when the value is good
};

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

constexpr CommandOption kOptions[] = {
    {"--help", false,
     [](BoxSimOptions& o, std::string_view) {
         o.help = true;
         return std::string();
     }},
    {"--device", true,
     [](BoxSimOptions& o, std::string_view v) {
         o.devicePath = v;
         return v.empty() ? std::string("needs a device path") : std::string();
     }},
    {"--out", true,
     [](BoxSimOptions& o, std::string_view v) {
         o.outPath = v;
         return v.empty() ? std::string("needs a file name") : std::string();
     }},
    {"--boot-delay", true,
     [](BoxSimOptions& o, std::string_view v) {
         return Milliseconds(v, o.peer.bootDelay, 600'000);
     }},
    {"--bench", false,
     [](BoxSimOptions& o, std::string_view) {
         o.peer.bench = true;
         return std::string();
     }},
    {"--announce-every", true,
     [](BoxSimOptions& o, std::string_view v) {
         std::string error = Milliseconds(v, o.peer.announceInterval, 600'000);
         if (error.empty() && o.peer.announceInterval.count() == 0) {
             error = "must be above 0";
         }
         return error;
     }},
    {"--baud", true,
     [](BoxSimOptions& o, std::string_view v) {
         const auto baud = ParseNumber<std::uint32_t>(v, 50, 4'000'000);
         o.peer.pacingBaud = baud.value_or(0);
         return baud ? std::string()
                     : "'" + std::string(v) + "' is not a baud rate from 50 to 4000000";
     }},
    {"--nak", true,
     [](BoxSimOptions& o, std::string_view v) { return Selectors(v, o.peer.nakFrames, false); }},
    {"--nak-random", true,
     [](BoxSimOptions& o, std::string_view v) {
         const auto p = ParseNumber(v, 0.0, 1.0);
         if (!p || *p >= 1.0) {
             return "'" + std::string(v) + "' is not a probability from 0 to below 1";
         }
         o.peer.nakProbability = *p;
         return std::string();
     }},
    {"--seed", true,
     [](BoxSimOptions& o, std::string_view v) {
         const auto seed =
             ParseNumber<std::uint32_t>(v, 0, std::numeric_limits<std::uint32_t>::max());
         o.peer.nakSeed = seed.value_or(0);
         return seed ? std::string() : "'" + std::string(v) + "' is not a number";
     }},
    {"--console-text", true,
     [](BoxSimOptions& o, std::string_view v) {
         const auto text = Unescape(v);
         o.peer.consoleText = text.value_or("");
         return text ? std::string()
                     : std::string("only \\r, \\n, \\t, \\0 and \\\\ may follow a backslash");
     }},
    {"--console-every", true,
     [](BoxSimOptions& o, std::string_view v) {
         const auto every = ParseNumber<std::uint32_t>(v, 1, 1'000'000);
         o.peer.consoleEvery = every.value_or(1);
         return every ? std::string()
                      : "'" + std::string(v) + "' is not a number from 1 to 1000000";
     }},
    {"--split-answers", false,
     [](BoxSimOptions& o, std::string_view) {
         o.peer.splitAnswers = true;
         return std::string();
     }},
    {"--piece-gap", true,
     [](BoxSimOptions& o, std::string_view v) { return Milliseconds(v, o.peer.pieceGap, 10'000); }},
    {"--readback", true,
     [](BoxSimOptions& o, std::string_view v) {
         o.readbackPath = v;
         return v.empty() ? std::string("needs a file name") : std::string();
     }},
    {"--readback-bad", true,
     [](BoxSimOptions& o, std::string_view v) {
         std::string_view rest = v;
         while (true) {
             const std::size_t comma = rest.find(',');
             const auto block = ParseNumber<std::uint16_t>(rest.substr(0, comma), 0, 65535);
             if (!block) {
                 return "'" + std::string(v) + "' is not a list of block numbers (0 to 65535)";
             }
             o.peer.readbackBadBlocks.push_back(*block);
             if (comma == std::string_view::npos) {
                 return std::string();
             }
             rest.remove_prefix(comma + 1);
         }
     }},
    {"--readback-pause", true,
     [](BoxSimOptions& o, std::string_view v) {
         return Milliseconds(v, o.peer.readbackPause, 60'000);
     }},
    {"--silent", true,
     [](BoxSimOptions& o, std::string_view v) { return Selectors(v, o.peer.silentFrames, true); }},
    {"--vanish", true,
     [](BoxSimOptions& o, std::string_view v) { return Selectors(v, o.peer.vanishFrames, true); }},
};

const CommandOption* FindOption(std::string_view name) {
    if (name == "-h") {
        name = "--help";
    }
    for (const CommandOption& entry : kOptions) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

ParsedBoxSimOptions ParseBoxSimOptions(std::span<const std::string_view> args) {
    ParsedBoxSimOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> value;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const CommandOption* option = FindOption(name);
        if (option == nullptr) {
            parsed.error = name.starts_with("-")
                               ? "unknown option " + std::string(name)
                               : "unexpected argument '" + std::string(name) + "'";
            return parsed;
        }
        if (!option->takesValue && value) {
            parsed.error = std::string(name) + " takes no value";
            return parsed;
        }
        if (option->takesValue && !value) {
            if (i + 1 == args.size()) {
                parsed.error = std::string(name) + " needs a value";
                return parsed;
            }
            value = args[++i];
        }
        if (std::string error = option->apply(parsed.options, value.value_or("")); !error.empty()) {
            parsed.error = std::string(name) + ": " + error;
            return parsed;
        }
    }
    const BoxSimOptions& options = parsed.options;
    if (!options.peer.readbackBadBlocks.empty() && options.readbackPath.empty()) {
        parsed.error = "--readback-bad needs --readback";
    }
    return parsed;
}

std::string BoxSimUsage() {
    return R"(Usage: vantrel-boxsim [OPTION]...
Plays the set-top box's boot loader for Vantrel. Without --device it creates a
pseudo-terminal and prints the path of its far end on the first line: point
the tool at that path (VANTREL_COM1=PATH). It announces "BOOT", checks every
frame of the update byte for byte, answers ACK, or NAK to a frame that fails a
check (reported on stderr; the run then fails), and prints a summary at the end.

Line:
  --device PATH          serve this serial device (raw 115200 8N1) instead
  --boot-delay MS        wait before "BOOT" (default 200; on a pseudo-terminal
                         counted from the tool's open of the line)
  --baud RATE            pace answers: each waits for the wire time of the
                         frame it answers at RATE baud (default: at once)
  --out FILE             write the module that arrived to FILE

Bench:
  --bench                announce "BOOT" every --announce-every until a
                         handshake arrives, and serve one update after
                         another until SIGINT or SIGTERM
  --announce-every MS    default 3000

Faults (FRAMES is a comma list of handshake, header, block:N, module-end,
and for --silent and --vanish also global-end; options may repeat):
  --nak FRAMES           refuse each listed frame once with NAK; the tool must
                         send it again, identical (a refused module end fails
                         the update)
  --nak-random P         refuse each handshake, header and block with
                         probability P (0 to below 1)
  --seed N               seed for --nak-random (default 1)
  --silent FRAMES        never answer these frames
  --vanish FRAMES        close the line when these frames arrive
  --console-text TEXT    console text written before answers; \r, \n, \t,
                         \0 and \\ are understood
  --console-every N      only before every Nth answer (default 1)
  --split-answers        write each answer in two pieces ("AC", then "K")
  --piece-gap MS         pause after console text and between the pieces of
                         an answer (default 20)

Readback:
  --readback FILE        answer the module header with the blocks of FILE
                         (block 0 first, the last one zero-padded), then MEN
  --readback-bad BLOCKS  comma list of block numbers sent with a wrong
                         checksum; the tool does not answer those
  --readback-pause MS    pause after such a block before the next (default 200)

  -h, --help             show this text

Exit status: 0 when an update arrived whole and verified (or a readback
completed) and no frame failed a check, 1 otherwise, 2 for bad arguments.
)";
}

}  // namespace vantrel
