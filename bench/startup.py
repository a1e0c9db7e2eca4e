#!/usr/bin/env python3
"""Tavi's start-up time and resident memory against the floor.

Builds Tavi and two bare programs the same way (bench/startup/), then runs,
alternating, for N rounds:
  tavi    exec -> the dictionary window drawn with every entry
  window  exec -> a bare Qt Widgets tree view drawn
  read    exec -> exit of a bare read of the shipped dictionary, split at TABs
and prints the medians, Tavi's ratio to window + read, and the resident
memory of Tavi and the bare window once drawn. Each run has a fresh empty
home folder (a first start), the offscreen platform and no session bus.

    bench/startup.py [--build build] [--runs 15]
    bench/startup.py --trace     # one start of Tavi, each trace line timed
"""

import argparse
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

# Tavi's trace lines: the list drawn, then the work moved after that done.
MARKER = b"Window filled"
SETTLED = b"Search forms made"


def environment(home):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_LOGGING_RULES")}
    env.update(HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
               XDG_CACHE_HOME=home + "/cache", XDG_RUNTIME_DIR=home,
               QT_QPA_PLATFORM="offscreen",
               DBUS_SESSION_BUS_ADDRESS="unix:path=" + home + "/no-bus")
    return env


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def until_drawn(command, trace=False, timeout=60.0):
    """Seconds from exec to the marker line, and the resident KiB once the
    work that start-up moved after it is done."""
    home = tempfile.mkdtemp(prefix="tavi-startup-")
    os.chmod(home, 0o700)
    try:
        start = time.monotonic()
        child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 env=environment(home))
        pending = b""
        drawn = None
        try:
            while True:
                left = timeout - (time.monotonic() - start)
                if left <= 0 or not select.select([child.stdout], [], [], left)[0]:
                    raise RuntimeError(f"{command[0]}: no '{MARKER.decode()}' line in time")
                chunk = os.read(child.stdout.fileno(), 65536)
                now = time.monotonic() - start
                if not chunk:
                    raise RuntimeError(f"{command[0]} ended before its window was drawn")
                pending += chunk
                *lines, pending = pending.split(b"\n")
                for line in lines:
                    if trace:
                        print(f"{now * 1000:8.1f} ms  {line.decode(errors='replace')}")
                    if line.startswith(MARKER):
                        drawn = now
                    elif line.startswith(SETTLED) and drawn is not None:
                        return drawn, resident_kib(child.pid)
        finally:
            child.send_signal(signal.SIGTERM)
            try:
                child.wait(timeout=30)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
    finally:
        shutil.rmtree(home, ignore_errors=True)


def until_exit(command):
    start = time.monotonic()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def load_average():
    return os.getloadavg()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="the build folder (default: build)")
    parser.add_argument("--runs", type=int, default=15, help="rounds (default: 15)")
    parser.add_argument("--trace", action="store_true",
                        help="start Tavi once with --verbose and time each trace line")
    parser.add_argument("--no-build", action="store_true", help="use the programs as built")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    if not args.no_build:
        subprocess.run(["cmake", "--build", build, "--target", "tavi", "bench_bare_window",
                        "bench_bare_read"], check=True, stdout=subprocess.DEVNULL)
    tavi = [build + "/bin/tavi", "--verbose"]
    window = [build + "/bench/bench_bare_window"]
    dictionary = build + "/share/tavi/dictionary.txt"
    read = [build + "/bench/bench_bare_read", dictionary]

    if args.trace:
        until_drawn(tavi, trace=True)
        return 0

    times = {"tavi": [], "window": [], "read": []}
    memory = {"tavi": [], "window": []}
    loads = [load_average()]
    kinds = ["tavi", "window", "read"]
    for round_ in range(args.runs):
        for kind in kinds[round_ % 3:] + kinds[:round_ % 3]:
            if kind == "read":
                times[kind].append(until_exit(read))
            else:
                seconds, kib = until_drawn(tavi if kind == "tavi" else window)
                times[kind].append(seconds)
                memory[kind].append(kib)
    loads.append(load_average())

    ms = {kind: statistics.median(values) * 1000 for kind, values in times.items()}
    mb = {kind: statistics.median(values) / 1024 for kind, values in memory.items()}
    floor = ms["window"] + ms["read"]
    print(f"{args.runs} alternating runs, medians (load average {loads[0]:.2f} "
          f"before, {loads[1]:.2f} after)")
    print(f"  exec -> window filled   tavi {ms['tavi']:7.1f} ms")
    print(f"  bare window             {ms['window']:12.1f} ms")
    print(f"  bare read ({os.path.getsize(dictionary) / 1e6:.1f} MB)    {ms['read']:12.1f} ms")
    print(f"  tavi / (window + read)  {ms['tavi'] / floor:10.2f} x")
    print(f"  resident after start    tavi {mb['tavi']:7.1f} MB, bare window "
          f"{mb['window']:.1f} MB ({mb['tavi'] / mb['window']:.2f} x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
