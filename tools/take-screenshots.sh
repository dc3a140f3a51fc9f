#!/usr/bin/env bash
# Renders the window offscreen, idle and in the middle of an update, into
# docs/vantrel-idle.png and docs/vantrel-updating.png (the README's
# screenshot), using the screenshot test against the stand-in; and the
# station window after one unit on each of four slots into
# docs/station-window.png, from the station window's test.
#
#   tools/take-screenshots.sh [BUILD_DIR]    default: build/dev
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target qt_screenshot_tests qt_station_window_tests
QT_QPA_PLATFORM=offscreen VANTREL_SCREENSHOT_DIR="$root/docs" \
    "$build/tests/qt/qt_screenshot_tests"
QT_QPA_PLATFORM=offscreen VANTREL_SCREENSHOT_DIR="$root/docs" \
    "$build/tests/qt/qt_station_window_tests"
