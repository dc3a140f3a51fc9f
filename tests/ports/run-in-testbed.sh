#!/bin/sh
# run-in-testbed.sh UMOCKDEV-WRAPPER PROGRAM ARGS...
# Runs a test program under umockdev-wrapper, whose preload library lets
# libudev see the program's test bed. The preload comes before the
# AddressSanitizer runtime, which ASan accepts only when told to; what
# ThreadSanitizer cannot judge inside umockdev is in tsan.supp.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}suppressions=$(dirname "$0")/tsan.supp"
export ASAN_OPTIONS TSAN_OPTIONS
exec "$@"
