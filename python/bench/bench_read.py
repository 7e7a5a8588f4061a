"""Benchmark of the Python package against the C interface, measured in the same
run: (a) reading every sample of one channel (10 million by default) into numpy,
(b) opening a 10,000-channel recording and building recording.channels with each
channel's kind, (c) two recordings read on two threads against one after the
other. The best of several repeats counts on both sides; the ratios are printed
with the load average.

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

ROOT = pathlib.Path(__file__).resolve().parents[2]


def best_of(repeats, work):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def c_baseline(build, *args):
    out = subprocess.run([str(build / "bench" / "c_read_baseline"), *map(str, args)], check=True,
                         capture_output=True, text=True).stdout.split()
    return float(out[0]), int(out[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"), help="build directory (default: build)")
    parser.add_argument("--samples", type=int, default=10_000_000)
    parser.add_argument("--channels", type=int, default=10_000)
    parser.add_argument("--repeats", type=int, default=5)
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

        # (a) every sample of one channel into numpy.
        c_seconds, c_count = c_baseline(build, "samples", samples, "Signal", args.repeats)
        with kvdatareader.open(samples) as recording:
            signal = recording["Signal"]
            assert len(signal) == c_count, (len(signal), c_count)
            py_seconds = best_of(args.repeats, signal.read)
        rows.append((f"read {c_count:,} samples", py_seconds, c_seconds, 1.1))

        # (b) open a recording of many channels and build the channel list.
        c_seconds, c_count = c_baseline(build, "channels", channels, args.repeats)

        def open_channels():
            with kvdatareader.open(channels) as recording:
                listed = recording.channels
                kinds = [channel.kind for channel in listed]
            assert len(kinds) == c_count, (len(kinds), c_count)

        py_seconds = best_of(args.repeats, open_channels)
        rows.append((f"open + channels ({c_count:,} channels of {args.channels:,})", py_seconds, c_seconds, 1.5))

        # (c) two recordings on two threads against one after the other.
        def read_one():
            with kvdatareader.open(samples) as recording:
                recording["Signal"].read()

        sequential = best_of(max(2, args.repeats // 2), lambda: (read_one(), read_one()))

        def parallel():
            threads = [threading.Thread(target=read_one) for _ in range(2)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()

        threaded = best_of(max(2, args.repeats // 2), parallel)

    print(f"{'case':<48} {'python s':>10} {'C s':>10} {'ratio':>7} {'target':>7}")
    for name, py, c, target in rows:
        print(f"{name:<48} {py:10.4f} {c:10.4f} {py / c:7.3f} {'<= ' + str(target):>7}")
    print(f"{'two recordings: one after the other / two threads':<48} {sequential:10.4f} {threaded:10.4f} "
          f"{sequential / threaded:7.2f}x speed-up on {os.cpu_count()} cores")
    print("load average (1, 5, 15 min): %.2f %.2f %.2f" % os.getloadavg())
    return 0 if all(py / c <= target for _, py, c, target in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
