#!/usr/bin/env python3
"""Runs vantrel-station against N stand-ins (vantrel-boxsim on pseudo-
terminals, answers paced at 115200 baud) with an APPL image, for N = 1, 16,
64 and 128 by default, each REPEAT times (1 unless --repeat=REPEAT), and
prints for each N the median of the runs with their spread (lowest to
highest): the wall time of all N units against one unit alone, the
station's CPU time per block acknowledged (beyond one port: what each
further port's blocks cost, the station's own start left out), the threads the station ran at most
per port, and its peak resident memory.

    bench/station_bench.py [--repeat=REPEAT] BUILD_DIR [N...]
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
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
    run = subprocess.Popen([station, "--no-record", image] + [path for _, path in boxes],
                           env=env, stdout=subprocess.PIPE, text=True)
    peak_threads = [0]
    sampler = threading.Thread(target=sample_threads, args=(run, peak_threads))
    sampler.start()
    out, _ = run.communicate()
    wall = time.monotonic() - started
    sampler.join()
    # Reaped before the stand-ins, so the children's usage so far is the station's.
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    for box, _ in boxes:
        box.wait(timeout=30)
    if run.returncode != 0:
        sys.exit(f"station of {n} failed ({run.returncode}):\n{out}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, after.ru_maxrss, peak_threads[0]


def sample_threads(process, peak):
    """The most threads the process ran, looked at every 50 ms."""
    while process.poll() is None:
        try:
            with open(f"/proc/{process.pid}/status") as status:
                for line in status:
                    if line.startswith("Threads:"):
                        peak[0] = max(peak[0], int(line.split()[1]))
        except OSError:
            return
        time.sleep(0.05)


def spread(values, form):
    return f"{form.format(statistics.median(values))} ({form.format(min(values))}-" \
           f"{form.format(max(values))})"


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--repeat=")]
    repeats = [int(a.split("=", 1)[1]) for a in sys.argv[1:] if a.startswith("--repeat=")]
    if not args:
        sys.exit(__doc__)
    build = args[0]
    sizes = [int(n) for n in args[1:]] or [1, 16, 64, 128]
    repeat = repeats[-1] if repeats else 1
    with tempfile.TemporaryDirectory() as scratch:
        image = os.path.join(scratch, "appl.bin")
        with open(image, "wb") as out:
            out.write(b"ZKMR\0\0\0\0" + b"29\0\0" + b"APPL" + b"\xff" * (590848 - 16))
        alone = None  # wall and CPU seconds of a station of one
        print(f"{'N':>3} {'wall s':>20} {'vs one':>7} {'cpu us/block':>22} "
              f"{'threads/port':>12} {'peak RSS MiB':>13}")
        for n in sizes:
            runs = [run_station(build, image, n, scratch) for _ in range(repeat)]
            walls = [wall for wall, _, _, _ in runs]
            cpus = [cpu for _, cpu, _, _ in runs]
            if n == 1 and alone is None:
                alone = (statistics.median(walls), statistics.median(cpus))
            ratio = f"{statistics.median(walls) / alone[0]:7.3f}" if alone else "      -"
            # Beyond one port, the CPU each further port's blocks cost: what a
            # station spends once (start, discovery) is left out. A station of
            # one shows all it spent.
            if n > 1 and alone:
                per_block = [1e6 * (cpu - alone[1]) / ((n - 1) * APPL_BLOCKS) for cpu in cpus]
            else:
                per_block = [1e6 * cpu / (n * APPL_BLOCKS) for cpu in cpus]
            threads = max(t for _, _, _, t in runs)
            rss = max(r for _, _, r, _ in runs)
            print(f"{n:>3} {spread(walls, '{:.2f}'):>20} {ratio} "
                  f"{spread(per_block, '{:.1f}'):>22} {(threads - 1) / n:12.2f} "
                  f"{rss / 1024:13.1f}", flush=True)


if __name__ == "__main__":
    main()
