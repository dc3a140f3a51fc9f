// vantrel-boxsim: the set-top box's boot loader on a pseudo-terminal or a
// serial device, for tests and benches.

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <variant>

#include "boxsim/box_sim_runner.h"
#include "boxsim/boxsim_options.h"
#include "boxsim/module_files.h"
#include "boxsim/pty_line.h"
#include "boxsim/pty_link.h"
#include "boxsim/serial_device_line.h"
#include "boxsim/stop_signals.h"

namespace {

constexpr int kExitFailed = 1;

int Fail(const std::string& message, int status) {
    std::cerr << "vantrel-boxsim: error: " << message << '\n';
    return status;
}

// The line to serve; on a pseudo-terminal its path (or its link's) goes
// out first, flushed, so that a script can read it before anything else.
std::optional<vantrel::BoxLine> OpenLine(const vantrel::BoxSimOptions& options,
                                         std::optional<vantrel::PtyLink>& link,
                                         std::string& error) {
    if (!options.devicePath.empty()) {
        return vantrel::OpenSerialDeviceLine(options.devicePath, error);
    }
    auto pty = vantrel::CreatePtyLine(error);
    if (!pty) {
        return std::nullopt;
    }
    if (!options.linkPath.empty()) {
        link = vantrel::PtyLink::Make(options.linkPath, pty->farEndPath, error);
        if (!link) {
            return std::nullopt;
        }
    }
    std::cout << (link ? link->Path() : pty->farEndPath) << std::endl;
    return std::move(pty->line);
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = vantrel::ParseBoxSimOptions(argc, argv);
    if (const auto* exit = std::get_if<vantrel::CommandLineExit>(&parsed)) {
        return vantrel::Report(*exit);
    }
    vantrel::BoxSimOptions& options = std::get<vantrel::BoxSimOptions>(parsed);
    std::string error;
    if (!options.readbackPath.empty()) {
        options.peer.readback = vantrel::LoadReadbackFile(options.readbackPath, error);
        if (!options.peer.readback) {
            return Fail("--readback: " + error, vantrel::kExitUsage);
        }
    }
    const vantrel::UniqueFd stopSignals = vantrel::BlockStopSignals();
    if (!stopSignals.IsValid()) {
        return Fail("cannot catch SIGINT and SIGTERM", kExitFailed);
    }
    std::optional<vantrel::PtyLink> link;
    std::optional<vantrel::BoxLine> line = OpenLine(options, link, error);
    if (!line) {
        return Fail(error, kExitFailed);
    }

    vantrel::BoxSimRunner runner(
        std::move(*line), std::move(options.peer),
        [](const std::string& report) { std::cerr << "vantrel-boxsim: " << report << std::endl; });
    runner.StopWhenReadable(stopSignals.Get());
    const vantrel::RunResult result = runner.Run();
    link.reset();  // while the pseudo-terminal is still open

    bool written = true;
    if (!options.outPath.empty()) {
        if (!result.receivedModule) {
            written = false;
            std::cerr << "vantrel-boxsim: no module arrived; " << options.outPath
                      << " was not written\n";
        } else if (!vantrel::WriteModuleFile(options.outPath, *result.receivedModule, error)) {
            written = false;
            std::cerr << "vantrel-boxsim: --out: " << error << '\n';
        }
    }
    std::cout << vantrel::FormatRunSummary(result) << std::endl;
    return vantrel::RunSucceeded(result) && written ? 0 : kExitFailed;
}
