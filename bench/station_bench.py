#!/usr/bin/env python3
"""Runs vantrel-station against N stand-ins (vantrel-boxsim on pseudo-
terminals, answers paced at 115200 baud) with an APPL image, for N = 1, 16
and 64 by default, and prints for each N: the wall time of all N units
against one unit alone, the station's CPU time as a share of its wall time
and per block acknowledged, and its peak resident memory.

    bench/station_bench.py BUILD_DIR [N...]
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

BAUD = "115200"
APPL_BLOCKS = 577


def start_box(boxsim):
    box = subprocess.Popen([boxsim, "--baud", BAUD, "--boot-delay", "100"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return box, box.stdout.readline().strip()


def run_station(build, image, n, data):
    boxsim = os.path.join(build, "app", "vantrel-boxsim")
    station = os.path.join(build, "app", "vantrel-station")
    boxes = [start_box(boxsim) for _ in range(n)]
    env = dict(os.environ, XDG_DATA_HOME=data)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    run = subprocess.run([station, "--no-record", image] + [path for _, path in boxes],
                         env=env, stdout=subprocess.PIPE, text=True)
    wall = time.monotonic() - started
    # Reaped before the stand-ins, so the children's usage so far is the station's.
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    for box, _ in boxes:
        box.wait(timeout=30)
    if run.returncode != 0:
        sys.exit(f"station of {n} failed ({run.returncode}):\n{run.stdout}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, after.ru_maxrss


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    sizes = [int(n) for n in sys.argv[2:]] or [1, 16, 64]
    with tempfile.TemporaryDirectory() as scratch:
        image = os.path.join(scratch, "appl.bin")
        with open(image, "wb") as out:
            out.write(b"ZKMR\0\0\0\0" + b"29\0\0" + b"APPL" + b"\xff" * (590848 - 16))
        alone = None
        print(f"{'N':>3} {'wall s':>8} {'vs one':>7} {'cpu s':>7} {'cpu %':>6} "
              f"{'cpu us/block':>13} {'peak RSS MiB':>13}")
        for n in sizes:
            wall, cpu, rss_kib = run_station(build, image, n, scratch)
            alone = alone or (wall if n == 1 else None)
            ratio = f"{wall / alone:7.3f}" if alone else "      -"
            per_block = 1e6 * cpu / (n * APPL_BLOCKS)
            print(f"{n:>3} {wall:8.2f} {ratio} {cpu:7.2f} {100 * cpu / wall:6.2f} "
                  f"{per_block:13.1f} {rss_kib / 1024:13.1f}", flush=True)


if __name__ == "__main__":
    main()
