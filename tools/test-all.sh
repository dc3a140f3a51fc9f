#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test in each CI
# configuration: warnings as errors, AddressSanitizer with
# UndefinedBehaviorSanitizer, and ThreadSanitizer. Also checks formatting,
# and after the configurations runs each fuzz target for 30 s.
#
#   tools/test-all.sh            all configurations, then the fuzz targets
#   tools/test-all.sh normal     just one (normal, asan, tsan or fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/setup-deps.sh
source "$root/tools/setup-deps.sh"
install_missing_packages

configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(normal asan tsan fuzz)

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

check_format() {
    echo "==> clang-format check"
    (cd "$root" && git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror)
}

check_format
for config in "${configs[@]}"; do
    case "$config" in
        normal) run_config normal ;;
        asan) run_config asan -DVANTREL_SANITIZE=address,undefined -DVANTREL_BENCHMARKS=OFF ;;
        tsan) run_config tsan -DVANTREL_SANITIZE=thread -DVANTREL_BENCHMARKS=OFF ;;
        fuzz) "$root/tools/fuzz.sh" 30 ;;
        *) echo "unknown configuration: $config (normal, asan, tsan or fuzz)" >&2; exit 2 ;;
    esac
done
echo "==> all tests passed: ${configs[*]}"
