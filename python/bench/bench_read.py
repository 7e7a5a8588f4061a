"""Benchmark of the Python package against the C interface, measured in the same
run: (a) reading every sample of one channel (10 million by default) into numpy,
(b) opening a 10,000-channel recording and building recording.channels with each
channel's kind, (c) two recordings read on two threads against one after the
other. C and Python alternate in rounds so both see the same load, and the best time
of each side counts; the ratios are printed with the load average.

    /usr/bin/python3 python/bench/bench_read.py [--build build] [--samples N] [--channels N]
"""

import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parents[2]


def best_of(repeats, work):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def c_baseline(build, *args):
    """The C program's figures: best seconds, count[, best seconds with reused buffers]."""
    out = subprocess.run([str(build / "bench" / "c_read_baseline"), *map(str, args)], check=True,
                         capture_output=True, text=True).stdout.split()
    return [float(out[0]), int(out[1])] + [float(x) for x in out[2:]]


def rounds(count, c_side, py_side):
    """Alternates C and Python `count` times so both see the same load; the best of
    each side counts."""
    c_best, py_best = None, None
    for _ in range(count):
        c_figures, py_figures = c_side(), py_side()
        c_best = c_figures if c_best is None else [min(a, b) if isinstance(a, float) else a
                                                   for a, b in zip(c_best, c_figures)]
        py_best = py_figures if py_best is None else (
            min(py_best, py_figures) if isinstance(py_figures, float) else tuple(map(min, py_best, py_figures)))
    return c_best, py_best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"), help="build directory (default: build)")
    parser.add_argument("--samples", type=int, default=10_000_000)
    parser.add_argument("--channels", type=int, default=10_000)
    parser.add_argument("--rounds", type=int, default=5, help="alternating C/Python rounds of 3 repeats each")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    os.environ.setdefault("KVDATAREADER_LIB", str(build / "src" / "libKVDataReaderLib64.so"))
    sys.path.insert(0, str(ROOT / "python"))
    import kvdatareader

    with tempfile.TemporaryDirectory() as directory:
        directory = pathlib.Path(directory)
        subprocess.run([str(build / "bench" / "write_python_bench_recordings"), str(directory), str(args.samples),
                        str(args.channels)], check=True, stdout=subprocess.DEVNULL)
        samples, channels = directory / "samples.kvd", directory / "channels.kvd"
        rows = []

        # (a) every sample of one channel: into fresh arrays (numpy allocates them per
        # read, malloc in C), and into arrays allocated once (out= in Python).
        with kvdatareader.open(samples) as recording:
            signal = recording["Signal"]
            out = (np.zeros(len(signal)), np.zeros(len(signal)))
            (c_fresh, c_count, c_reused), (py_fresh, py_reused) = rounds(
                args.rounds, lambda: c_baseline(build, "samples", samples, "Signal", 3),
                lambda: (best_of(3, signal.read), best_of(3, lambda: signal.read(out=out))))
            assert len(signal) == c_count, (len(signal), c_count)
        rows.append((f"read {c_count:,} samples into arrays allocated once", py_reused, c_reused, 1.1))
        rows.append((f"read {c_count:,} samples into fresh arrays", py_fresh, c_fresh, 1.1))

        # (b) open a recording of many channels and build the channel list with each kind.
        counted = []

        def open_channels():
            with kvdatareader.open(channels) as recording:
                listed = recording.channels
                counted.append(len([channel.kind for channel in listed]))

        (c_seconds, c_count), py_seconds = rounds(
            args.rounds, lambda: c_baseline(build, "channels", channels, 3), lambda: best_of(3, open_channels))
        assert set(counted) == {c_count}, (set(counted), c_count)
        rows.append((f"open + channels ({c_count:,} listed of {args.channels:,})", py_seconds, c_seconds, 1.5))

        # (c) two recordings on two threads against one after the other.
        def read_one():
            with kvdatareader.open(samples) as recording:
                recording["Signal"].read()

        sequential = best_of(3, lambda: (read_one(), read_one()))

        def parallel():
            threads = [threading.Thread(target=read_one) for _ in range(2)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()

        threaded = best_of(3, parallel)

    print(f"{'case':<52} {'python s':>10} {'C s':>10} {'ratio':>7} {'target':>7}")
    for name, py, c, target in rows:
        print(f"{name:<52} {py:10.4f} {c:10.4f} {py / c:7.3f} {'<= ' + str(target) if target else '':>7}")
    print(f"{'two recordings: one after the other / two threads':<52} {sequential:10.4f} {threaded:10.4f} "
          f"{sequential / threaded:7.2f}x speed-up on {os.cpu_count()} cores")
    print("load average (1, 5, 15 min): %.2f %.2f %.2f" % os.getloadavg())
    return 0 if all(py / c <= target for _, py, c, target in rows if target) else 1


if __name__ == "__main__":
    sys.exit(main())
