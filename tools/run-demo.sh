#!/usr/bin/env bash
# Shows Vantrel at work without a set-top box. Installs what is missing,
# builds the three programs into build/demo, writes a sample image of each
# kind into build/demo/samples, starts the boot-loader stand-in on a
# pseudo-terminal and maps PORT 1 to it. With a display it starts the
# window: choose a sample image with the image Open button, then press
# Start. Without one (no DISPLAY or WAYLAND_DISPLAY) it updates the loader
# sample with vantrel-cli in the terminal. The stand-in stops when the
# window or the CLI ends.
#
#   tools/run-demo.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/setup-deps.sh
source "$root/tools/setup-deps.sh"
install_missing_packages

build="$root/build/demo"
jobs=$(nproc 2>/dev/null || echo 2)
echo "==> building vantrel, vantrel-cli and vantrel-boxsim in $build"
cmake -S "$root" -B "$build" -G Ninja -DBUILD_TESTING=OFF -DVANTREL_BENCHMARKS=OFF
cmake --build "$build" -j "$jobs" --target vantrel vantrel-cli vantrel-boxsim

samples="$build/samples"
"$root/tools/make-sample-images.sh" "$samples"

# Bench mode: "BOOT" every 3 s until a handshake comes, one update after
# another; answers paced as on a 115200-baud line, so the progress shows.
coproc BOXSIM { exec "$build/app/vantrel-boxsim" --bench --baud 115200; }
box_pid=$BOXSIM_PID
exec {boxsim_out}<&"${BOXSIM[0]}"
stop_boxsim() {
    kill "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
}
trap stop_boxsim EXIT

# Its first line is the path of the pseudo-terminal's far end.
if ! read -r pty <&"$boxsim_out"; then
    echo "run-demo: vantrel-boxsim did not start" >&2
    exit 1
fi
# What it prints later (its summary) goes to the terminal.
cat <&"$boxsim_out" &
echo "==> the stand-in box listens on $pty, which is PORT 1"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "==> in the window: image Open, choose a sample image, then Start"
    # The file dialog opens in the working directory: the samples'.
    (cd "$samples" && VANTREL_COM1="$pty" "$build/app/vantrel")
else
    echo "==> no display: updating $samples/sample-load.bin with vantrel-cli"
    "$build/app/vantrel-cli" --device "$pty" "$samples/sample-load.bin"
fi
