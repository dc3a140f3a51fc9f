#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test in each CI
# configuration: warnings as errors, AddressSanitizer with
# UndefinedBehaviorSanitizer, and ThreadSanitizer. After the normal build it
# makes the Debian packages from that build, has lintian check them, installs,
# tries and removes them (tools/test-package.sh). The sanitizer builds are
# made without Qt, which also proves every program but the windows builds
# where Qt is not installed. Also checks formatting, and after the
# configurations runs each fuzz target for 15 s.
#
#   tools/test-all.sh            all configurations, then the fuzz targets
#   tools/test-all.sh normal     just one (normal, package, asan, tsan or
#                                fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/setup-deps.sh
source "$root/tools/setup-deps.sh"
install_missing_packages

configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(normal package asan tsan fuzz)

jobs=$(nproc 2>/dev/null || echo 2)

run_config() {
    local name=$1
    shift
    local dir="$root/build/ci-$name"
    echo "==> [$name] configure, build, test"
    cmake -S "$root" -B "$dir" -G Ninja -DVANTREL_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

# The sanitizer builds are told that no Qt exists, so any find_package(Qt6)
# left ungated fails their configure (and, there being none, CMake's note
# that the setting went unused is silenced). After such a build this checks
# what a machine without Qt gets: no window, no program linked with Qt, and a
# cpack that would make the tools' package alone.
check_built_without_qt() {
    local dir=$1
    if [ -e "$dir/app/vantrel" ]; then
        echo "without Qt: the window was built" >&2
        return 1
    fi
    local program
    for program in vantrel-cli vantrel-station vantrel-records vantrel-boxsim; do
        "$dir/app/$program" --help >/dev/null
        if ldd "$dir/app/$program" | grep -q 'libQt'; then
            echo "without Qt: $program links Qt" >&2
            return 1
        fi
    done
    if ! grep -qx 'set(CPACK_COMPONENTS_ALL "tools")' "$dir/CPackConfig.cmake"; then
        echo "without Qt: cpack would package more than the tools:" >&2
        grep 'CPACK_COMPONENTS_ALL ' "$dir/CPackConfig.cmake" >&2
        return 1
    fi
    echo "==> vantrel-cli, vantrel-station, vantrel-records, vantrel-boxsim built without Qt"
}

check_format() {
    echo "==> clang-format check"
    (cd "$root" && git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror)
}

# Debug information as line tables only (-g1): backtraces and sanitizer
# reports keep their files and lines, in far less compile time than full
# debug information. The sanitizer builds compile at -O1, as the
# sanitizers advise.
normal=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
# The sanitizer builds leave the windows out: their widgets run on one
# thread, tested in the normal build, while the window logic, the ports, the
# station and the records below them (every thread of the programs) are
# built and tested under the sanitizers all the same. Qt's headers make the
# windows' code the slowest to compile, and CI has a budget. Built so, they
# also prove every other program builds where no Qt is installed.
sanitized=(-DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g1" -DVANTREL_BENCHMARKS=OFF
    -DVANTREL_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON --no-warn-unused-cli)

check_format
for config in "${configs[@]}"; do
    case "$config" in
        normal) run_config normal "${normal[@]}" ;;
        package) "$root/tools/test-package.sh" ;;
        asan)
            run_config asan "${sanitized[@]}" -DVANTREL_SANITIZE=address,undefined
            check_built_without_qt "$root/build/ci-asan"
            ;;
        tsan) run_config tsan "${sanitized[@]}" -DVANTREL_SANITIZE=thread ;;
        fuzz) "$root/tools/fuzz.sh" 15 ;;
        *) echo "unknown configuration: $config (normal, package, asan, tsan or fuzz)" >&2; exit 2 ;;
    esac
done
echo "==> all tests passed: ${configs[*]}"
