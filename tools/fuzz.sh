#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build/fuzz and runs each for SECONDS on a
# scratch copy of its seed corpus. Prints each target's executions per
# second and coverage; exits non-zero when any target found something (a
# crash, a failed check, a leak, a timeout, running out of memory).
#
#   tools/fuzz.sh                 every target for 60 s
#   tools/fuzz.sh 30              every target for 30 s
#   tools/fuzz.sh 600 receive_stream_fuzzer
#                                 one target (or several) for longer
#
# New inputs go to build/fuzz/runs/<target>/corpus, whatever a target found
# to build/fuzz/runs/<target>/artifacts. An input that made a target fail
# belongs in fuzz/corpus/<target>/ as regression-<what-it-caught>.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
all_targets=(receive_stream_fuzzer image_file_fuzzer settings_reader_fuzzer
    boxsim_parser_fuzzer frame_codec_fuzzer)

seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: tools/fuzz.sh [SECONDS [TARGET...]]" >&2
    exit 2
fi
for target in "${targets[@]}"; do
    if [ ! -d "$root/fuzz/corpus/$target" ]; then
        echo "unknown fuzz target: $target (${all_targets[*]})" >&2
        exit 2
    fi
done

jobs=$(nproc 2>/dev/null || echo 2)
echo "==> [fuzz] configure and build with clang"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVANTREL_FUZZ=ON -DVANTREL_WERROR=ON
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# The targets' scratch directories go below the build directory too.
export TMPDIR="$build/tmp"
failed=()
summary=()
for target in "${targets[@]}"; do
    run="$build/runs/$target"
    rm -rf "$run"
    mkdir -p "$run/corpus" "$run/artifacts" "$TMPDIR"
    log="$run/fuzz.log"
    echo "==> [fuzz] $target for ${seconds} s"
    status=0
    # The committed corpus is read, never written: libFuzzer adds new inputs
    # to the first directory only.
    "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$run/artifacts/" \
        "$run/corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    status_line=$(grep -E '^#[0-9]+' "$log" | grep 'cov:' | tail -n 1 || true)
    units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status_line")
    line=$(printf '%-24s %10s runs %7s exec/s  cov: %-6s ft: %s' "$target" "${units:-?}" \
        "${rate:-?}" "${cov:-?}" "${ft:-?}")
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$run/artifacts")" ]; then
        echo "!!! $target failed (exit status $status); the end of $log:" >&2
        tail -n 40 "$log" >&2
        ls -l "$run/artifacts" >&2
        failed+=("$target")
        line+="  FAILED"
    fi
    echo "$line"
    summary+=("$line")
done

echo "==> [fuzz] summary (${seconds} s each)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "==> [fuzz] findings in: ${failed[*]} (see build/fuzz/runs/<target>/artifacts)" >&2
    exit 1
fi
