#include "ui/terminal/cli_options.h"

#include <cmath>
#include <string_view>

namespace vantrel {
namespace {

bool ParsePort(std::string_view text, int& port) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
        return false;
    }
    port = text[0] - '0';
    return true;
}

bool ParseSeconds(const std::string& text, double& seconds) {
    try {
        std::size_t used = 0;
        seconds = std::stod(text, &used);
        return used == text.size() && std::isfinite(seconds) && seconds > 0;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::string CliUsage() {
    return "usage: vantrel-cli [--port N | --device PATH] [--timeout SECONDS] [--record[=URL]]\n"
           "                  IMAGE\n"
           "       vantrel-cli --list-ports [--json]\n"
           "\n"
           "Writes IMAGE into the box on the serial line, as the window's Start does.\n"
           "  --port N           PORT N, 1 to 4 (default 1): /dev/ttyS<N-1>, or the\n"
           "                     device named by VANTREL_COM<N>\n"
           "  --device PATH      open PATH as PORT N instead of its usual device\n"
           "  --timeout SECONDS  cancel when the box has sent nothing for this long\n"
           "                     (default: wait for ever)\n"
           "  --record[=URL]     record the unit: in $XDG_DATA_HOME/vantrel/records.sqlite,\n"
           "                     or in the file or postgresql:// server URL names\n"
           "  --list-ports       list this machine's serial ports, the PORT that maps to\n"
           "                     each, and whether it can be opened (--json: as JSON)\n"
           "Exit status: 0 updated, 1 failed, cancelled or timed out, 2 nothing started.\n";
}

std::variant<CliOptions, std::string> ParseCliOptions(int argc, const char* const* argv) {
    CliOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--list-ports") {
            options.listPorts = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--record" || arg.rfind("--record=", 0) == 0) {
            options.record = true;
            if (arg.size() > std::string_view("--record").size()) {
                options.recordUrl = std::string(arg.substr(std::string_view("--record=").size()));
                if (options.recordUrl->empty()) {
                    return std::string("--record= takes a file or a postgresql:// URL");
                }
            }
        } else if (arg == "--port") {
            const auto text = value();
            if (!text || !ParsePort(*text, options.port)) {
                return std::string("--port takes a port number from 1 to 4");
            }
        } else if (arg == "--device") {
            const auto text = value();
            if (!text || text->empty()) {
                return std::string("--device takes the path of a serial device");
            }
            options.device = *text;
        } else if (arg == "--timeout") {
            const auto text = value();
            double seconds = 0;
            if (!text || !ParseSeconds(*text, seconds)) {
                return std::string("--timeout takes a number of seconds above 0");
            }
            options.timeoutSeconds = seconds;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return "unknown option " + std::string(arg);
        } else if (!options.image.empty()) {
            return std::string("only one IMAGE can be written at a time");
        } else {
            options.image = arg;
        }
    }
    if (options.help) {
        return options;
    }
    if (options.json && !options.listPorts) {
        return std::string("--json goes with --list-ports");
    }
    if (options.listPorts) {
        if (!options.image.empty()) {
            return std::string("--list-ports takes no IMAGE");
        }
        return options;
    }
    if (options.image.empty()) {
        return std::string("no IMAGE given");
    }
    return options;
}

}  // namespace vantrel
